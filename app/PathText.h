// Paths between the window and the rest of the program: the engine and the
// platform hold a path as the bytes the file system names it by, the widgets
// hold text. Both ways go through QFile's file name encoding (UTF-8 here), so
// every name that is valid UTF-8 comes back with the bytes it went out with.
// FIXME: a name that is not valid UTF-8 shows U+FFFD for each stray byte and
// does not come back: typed into a box, it names another path.
#pragma once

#include <QString>

#include <string>

// The bytes of the path a box or label shows.
std::string ToPath(const QString &text);
// The text of a path, for a box, a label or a line of the log.
QString FromPath(const std::string &path);
