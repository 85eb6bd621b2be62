// The small icons of the lists, from the icon theme. Window thread only.
#pragma once

#include <QIcon>
#include <QString>

namespace QvlFileList {

// The icon of a file, decided by its name alone (MIME type by extension):
// the file is never opened (it may be a slow network file, or gone).
QIcon IconForFileName(const QString &name);

// A named icon of the theme (`fallback` where the theme lacks it),
// remembered per name.
QIcon ThemeIcon(const char *name, const char *fallback = nullptr);

// A folder, shut or open.
QIcon FolderIcon(bool open);

} // namespace QvlFileList
