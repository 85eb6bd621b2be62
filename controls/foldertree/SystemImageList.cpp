#include "controls/foldertree/SystemImageList.h"

#include "controls/foldertree/ShellNamespace.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>

#include <algorithm>

namespace {

QIcon ThemeIcon(const QString &name, const QIcon &fallback)
{
    const QIcon icon = QIcon::fromTheme(name);
    return icon.isNull() ? fallback : icon;
}

const int NodeIconSizes[] = {16, 22, 24, 32};

} // namespace

TSystemImageList &TSystemImageList::Instance()
{
    static TSystemImageList list;
    return list;
}

TSystemImageList::TSystemImageList()
{
    // Outside a desktop session Qt knows no icon theme, and on some
    // platforms not even where themes live. The desktop's theme installed
    // with the system is then the one to use. This must happen before the
    // first look-up, which Qt remembers.
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString &data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        const QString icons = data + "/icons";
        if (!paths.contains(icons) && QFileInfo(icons).isDir())
            paths << icons;
    }
    if (paths != QIcon::themeSearchPaths())
        QIcon::setThemeSearchPaths(paths);
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName("Adwaita");
    else if (QIcon::themeName() == "hicolor")
        QIcon::setFallbackThemeName("Adwaita");
}

int TSystemImageList::IndexOf(const std::string &iconName)
{
    const auto found = std::find(m_names.begin(), m_names.end(), iconName);
    if (found != m_names.end())
        return static_cast<int>(found - m_names.begin());

    QFileIconProvider provider;
    const QIcon folder = ThemeIcon("folder", provider.icon(QFileIconProvider::Folder));
    const QIcon drive = ThemeIcon("drive-harddisk", provider.icon(QFileIconProvider::Drive));
    const QIcon file = ThemeIcon("text-x-generic", provider.icon(QFileIconProvider::File));
    QIcon icon;
    if (iconName.rfind("mime:", 0) == 0) {
        const std::string names = iconName.substr(5);
        const std::size_t bar = names.find('|');
        const QString specific = QString::fromStdString(names.substr(0, bar));
        const QString generic = bar == std::string::npos ? QString() : QString::fromStdString(names.substr(bar + 1));
        icon = ThemeIcon(specific, generic.isEmpty() ? file : ThemeIcon(generic, file));
    } else if (iconName == "folder") {
        icon = folder;
    } else if (iconName == "folder-open" || iconName == "user-home") {
        icon = ThemeIcon(QString::fromStdString(iconName), folder);
    } else if (iconName == "computer") {
        icon = ThemeIcon("computer", provider.icon(QFileIconProvider::Computer));
    } else if (iconName == "drive-harddisk") {
        icon = drive;
    } else if (iconName == "drive-removable-media" || iconName == "media-optical") {
        icon = ThemeIcon(QString::fromStdString(iconName), drive);
    } else if (iconName == "network-server") {
        icon = ThemeIcon("network-server", provider.icon(QFileIconProvider::Network));
    } else if (iconName == "user-desktop") {
        icon = ThemeIcon("user-desktop", provider.icon(QFileIconProvider::Desktop));
    } else {
        icon = ThemeIcon(QString::fromStdString(iconName), QIcon());
    }
    if (icon.isNull())
        return -1;
    m_names.push_back(iconName);
    m_icons.push_back(icon);
    return static_cast<int>(m_icons.size()) - 1;
}

QIcon TSystemImageList::Icon(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    return m_icons[static_cast<std::size_t>(index)];
}

QIcon TSystemImageList::NodeIcon(int normal, int open, int overlay)
{
    const std::uint64_t key = (std::uint64_t(std::uint32_t(normal)) << 32) | (std::uint64_t(std::uint16_t(open)) << 8) |
                              std::uint8_t(overlay);
    for (const auto &entry : m_nodeIcons)
        if (entry.first == key)
            return entry.second;

    const QIcon normalIcon = Icon(normal);
    const QIcon openIcon = Icon(open);
    QIcon link;
    if (overlay == 1)
        link = QIcon::fromTheme("emblem-symbolic-link");
    QIcon result;
    for (int size : NodeIconSizes) {
        for (const auto &[mode, source] : {std::pair{QIcon::Normal, normalIcon}, std::pair{QIcon::Selected, openIcon}}) {
            if (source.isNull())
                continue;
            QPixmap pixmap = source.pixmap(size, size);
            if (!link.isNull()) {
                QPainter painter(&pixmap);
                const int emblem = std::max(8, size / 2);
                painter.drawPixmap(0, size - emblem, link.pixmap(emblem, emblem));
            }
            result.addPixmap(pixmap, mode);
        }
    }
    m_nodeIcons.emplace_back(key, result);
    return result;
}

int GetIconIndex(PCItemIDList absoluteId, unsigned flags)
{
    if (!absoluteId)
        return -1;
    const bool open = flags & giOpenIcon;
    std::string key;
    if (PIDLCount(absoluteId) == 0) {
        key = "user-desktop";
    } else {
        // The item's own folder names its icon.
        TPidlHolder parent(CopyParentPIDL(absoluteId));
        TPidlHolder last(CopyLastID(absoluteId));
        if (!parent || !last)
            return -1;
        TShellFolderPtr desktop = GetDesktopFolder();
        TShellFolderPtr folder = PIDLCount(parent.get()) == 0 ? desktop : desktop->BindToObject(parent.get());
        if (!folder)
            return -1;
        key = folder->IconKeyOf(last.get(), open);
    }
    if (key.empty())
        return -1;
    return TSystemImageList::Instance().IndexOf(key);
}

void GetNormalAndSelectedIcons(PCItemIDList absoluteId, int &normal, int &open)
{
    normal = GetIconIndex(absoluteId, giSysIconIndex | giPidl | giSmallIcon);
    open = GetIconIndex(absoluteId, giSysIconIndex | giPidl | giSmallIcon | giOpenIcon);
}
