#include "controls/filelist/detail/FileIcons.h"

#include <QHash>
#include <QMimeDatabase>
#include <QStandardPaths>

namespace QvlFileList {

namespace {

// The theme icon for a MIME type, remembered per type: drawing asks for it
// on every paint of every row.
QIcon ThemeIconFor(const QMimeType &type)
{
    static QHash<QString, QIcon> cache;
    const auto found = cache.constFind(type.name());
    if (found != cache.constEnd())
        return *found;
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(QStringLiteral("text-x-generic"));
    cache.insert(type.name(), icon);
    return icon;
}

// A session without a configured icon theme (a bare X server, an offscreen
// test) finds no icons at all, although the stock themes are installed.
// Then, and only then, look for them where the system keeps them.
void EnsureIconTheme()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const QString probe = QStringLiteral("text-x-generic");
    if (!QIcon::fromTheme(probe).isNull())
        return;
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString &dir : QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                                         QStandardPaths::LocateDirectory))
        if (!paths.contains(dir))
            paths.append(dir);
    QIcon::setThemeSearchPaths(paths);
    if (QIcon::fromTheme(probe).isNull())
        QIcon::setThemeName(QStringLiteral("Adwaita"));
}

} // namespace

QIcon IconForFileName(const QString &name)
{
    EnsureIconTheme();
    static QMimeDatabase mimes;
    return ThemeIconFor(mimes.mimeTypeForFile(name, QMimeDatabase::MatchExtension));
}

QIcon ThemeIcon(const char *name, const char *fallback)
{
    EnsureIconTheme();
    static QHash<QString, QIcon> cache;
    const QString key = QLatin1String(name);
    const auto found = cache.constFind(key);
    if (found != cache.constEnd())
        return *found;
    QIcon icon = QIcon::fromTheme(key);
    if (icon.isNull() && fallback)
        icon = QIcon::fromTheme(QLatin1String(fallback));
    cache.insert(key, icon);
    return icon;
}

QIcon FolderIcon(bool open)
{
    return open ? ThemeIcon("folder-open", "folder") : ThemeIcon("folder");
}

} // namespace QvlFileList
