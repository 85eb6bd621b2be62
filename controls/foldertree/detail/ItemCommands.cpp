#include "controls/foldertree/detail/ItemCommands.h"

#include "platform/EntryProbe.h"
#include "platform/ItemDetails.h"
#include "platform/Paths.h"
#include "controls/foldertree/detail/PropertiesForm.h"
#include "platform/ShellDelete.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QInputDialog>
#include <QMessageBox>

#include <cerrno>
#include <QUrl>

#include <algorithm>

namespace {

// What the commands read of an item; sfgaoHasSubfolder is left out, since
// answering it lists the folder.
constexpr std::uint32_t CommandAttributeMask = sfgaoCanRename | sfgaoCanDelete | sfgaoHasPropSheet
    | sfgaoDropTarget | sfgaoLink | sfgaoRemovable | sfgaoFolder | sfgaoFileSystem;

const TItemCommand Commands[] = {
    {TItemCommandId::Open, "open", "&Open", "Open with the desktop's default application", 0},
    {TItemCommandId::OpenContainingFolder, "opencontainingfolder", "Open Containing &Folder",
     "Show in its folder in the file manager", 0},
    {TItemCommandId::Unmount, "unmount", "&Unmount", "Unmount the volume so that its drive can be removed safely", 1},
    {TItemCommandId::Eject, "eject", "&Eject", "Unmount the volume and eject its drive", 1},
    {TItemCommandId::NewFolder, "newfolder", "Ne&w Folder", "Create a new folder in this folder", 2},
    {TItemCommandId::CopyPath, "copypath", "Copy &Path", "Copy the full path to the clipboard", 3},
    {TItemCommandId::Delete, "delete", "&Delete", "Move to the trash", 3},
    {TItemCommandId::Rename, "rename", "Rena&me", "Give a new name", 3},
    {TItemCommandId::Properties, "properties", "P&roperties",
     "Show name, location, size, owner, permissions and free space", 4},
};

QString Q(const std::string &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

bool HasPath(const TActionItem &item)
{
    return !item.path.empty();
}

bool Is(const TActionItem &item, std::uint32_t flag)
{
    return (item.attributes & flag) != 0;
}

bool Applies(const TItemCommand &command, const TActionItems &set)
{
    const auto every = [&set](auto test) { return std::all_of(set.items.begin(), set.items.end(), test); };
    const bool one = set.items.size() == 1;
    const TActionItem &first = set.items.front();
    switch (command.id) {
    case TItemCommandId::Open:
    case TItemCommandId::CopyPath:
    case TItemCommandId::Properties:
        return every(HasPath);
    case TItemCommandId::OpenContainingFolder:
        return every([](const TActionItem &i) { return HasPath(i) && i.path != "/"; });
    case TItemCommandId::Unmount:
        return set.volume.Known();
    case TItemCommandId::Eject:
        return set.volume.Known() && set.volume.ejectable;
    case TItemCommandId::NewFolder:
        return one && HasPath(first) && Is(first, sfgaoFolder) && Is(first, sfgaoDropTarget);
    case TItemCommandId::Delete:
        // The root and mount points never go, whatever their folder allows:
        // the trash cannot take a volume, and wiping one is never meant.
        return every([](const TActionItem &i) { return Is(i, sfgaoCanDelete) && !i.mountPoint; });
    case TItemCommandId::Rename:
        return one && Is(first, sfgaoCanRename) && !first.mountPoint;
    }
    return false;
}

QWidget *WindowOf(QWidget *owner)
{
    return owner ? owner->window() : nullptr;
}

bool OpenUrls(const std::vector<QUrl> &urls)
{
    bool all = !urls.empty();
    for (const QUrl &url : urls)
        all = QDesktopServices::openUrl(url) && all;
    return all;
}

bool OpenContainingFolder(const TActionItems &set)
{
    QStringList uris;
    for (const TActionItem &item : set.items)
        uris << QUrl::fromLocalFile(Q(item.path)).toString(QUrl::FullyEncoded);
    if (FileManagerShowItems(uris))
        return true;
    // No file manager that selects items: open their folders instead.
    std::vector<QUrl> folders;
    for (const TActionItem &item : set.items) {
        const QUrl url = QUrl::fromLocalFile(Q(ParentFolder(item.path)));
        if (std::find(folders.begin(), folders.end(), url) == folders.end())
            folders.push_back(url);
    }
    return OpenUrls(folders);
}

// "New Folder", or "New Folder 2", 3, ... when that is taken in `folder`.
QString UnusedFolderName(const std::string &folder)
{
    const QString base = QStringLiteral("New Folder");
    QString name = base;
    for (int n = 2; ProbeEntry(IncludeTrailingSlash(folder) + QFile::encodeName(name).toStdString()).exists; ++n)
        name = base + QLatin1Char(' ') + QString::number(n);
    return name;
}

bool NewFolder(const TActionItem &item, QWidget *owner, const TNewFolderHandler &handler)
{
    bool ok = false;
    QString text;
    {
        TUserTurn turn;
        text = QInputDialog::getText(WindowOf(owner), QStringLiteral("New Folder"),
                                     QStringLiteral("Name of the new folder:"), QLineEdit::Normal,
                                     UnusedFolderName(item.path), &ok);
    }
    const std::string name = QFile::encodeName(text).toStdString();
    if (!ok || name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return false;
    if (handler)
        return handler(name);
    return CreateFolder(IncludeTrailingSlash(item.path) + name) == 0;
}

bool Delete(const TActionItems &set, QWidget *owner)
{
    std::string batch;
    for (const TActionItem &item : set.items) {
        batch += item.path;
        batch += '\0';
    }
    batch += '\0';
    const std::size_t total = set.items.size();
    const auto askPermanent = [&](std::size_t count) {
        const QString text = total == 1
            ? QStringLiteral("\"%1\" cannot be moved to the trash. Delete it permanently?").arg(Q(set.items[0].name))
            : QStringLiteral("%1 of the %2 items cannot be moved to the trash. Delete them permanently?")
                  .arg(count)
                  .arg(total);
        TUserTurn turn;
        return QMessageBox::question(WindowOf(owner), QStringLiteral("Delete Permanently"), text,
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            == QMessageBox::Yes;
    };
    std::string why;
    const int rc = ShellDelete(batch, askPermanent, &why);
    // A folder that holds a mounted volume stays where it is; the user is
    // told which volume keeps it there.
    if (rc == EBUSY && !why.empty()) {
        TUserTurn turn;
        QMessageBox::warning(WindowOf(owner), QStringLiteral("Delete"), QFile::decodeName(QByteArray::fromStdString(why)));
    }
    return rc == 0;
}

int BusyDepth = 0;

} // namespace

bool GatherActionItems(const TShellFolderPtr &folder, const PCItemIDList *ids, int count, TActionItems &set)
{
    set = {};
    if (!folder || !ids || count < 1)
        return false;
    set.folder = folder;
    for (int i = 0; i < count; ++i) {
        TActionItem item;
        item.id = ids[i];
        if (!item.id)
            return false;
        item.attributes = folder->GetAttributesOf(item.id, CommandAttributeMask);
        if (!item.attributes)
            return false;
        if (!folder->GetPathOf(item.id, item.path))
            item.path.clear();
        item.mountPoint = HasPath(item) && IsMountPoint(item.path);
        if (!folder->GetDisplayNameOf(item.id, dntNormal, item.name))
            item.name = item.path;
        set.items.push_back(std::move(item));
    }
    // Only a single volume is unmounted; the root file system never is.
    const TActionItem &first = set.items.front();
    if (count == 1 && first.path != "/" && first.mountPoint)
        set.volume = FindUdisksVolume(QByteArray::fromStdString(first.path));
    return true;
}

std::vector<const TItemCommand *> ApplicableCommands(const TActionItems &set)
{
    std::vector<const TItemCommand *> commands;
    if (set.items.empty())
        return commands;
    for (const TItemCommand &command : Commands)
        if (Applies(command, set))
            commands.push_back(&command);
    return commands;
}

bool RunItemCommand(const TItemCommand &command, const TActionItems &set, QWidget *owner,
                    const TNewFolderHandler &newFolder)
{
    if (set.items.empty() || !Applies(command, set))
        return false;
    switch (command.id) {
    case TItemCommandId::Open: {
        std::vector<QUrl> urls;
        for (const TActionItem &item : set.items)
            urls.push_back(QUrl::fromLocalFile(Q(item.path)));
        return OpenUrls(urls);
    }
    case TItemCommandId::OpenContainingFolder:
        return OpenContainingFolder(set);
    case TItemCommandId::Unmount:
        return UdisksUnmount(set.volume);
    case TItemCommandId::Eject:
        return UdisksEject(set.volume);
    case TItemCommandId::NewFolder:
        return NewFolder(set.items.front(), owner, newFolder);
    case TItemCommandId::CopyPath: {
        QStringList lines;
        for (const TActionItem &item : set.items)
            lines << Q(item.path);
        QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
        return true;
    }
    case TItemCommandId::Delete:
        return Delete(set, owner);
    case TItemCommandId::Rename:
        return false;
    case TItemCommandId::Properties: {
        std::vector<std::string> paths, names;
        for (const TActionItem &item : set.items) {
            paths.push_back(item.path);
            names.push_back(item.name);
        }
        auto *form = new TPropertiesForm(std::move(paths), names, WindowOf(owner));
        form->show();
        return true;
    }
    }
    return false;
}

// Actions nest (a path form resolves its items, then acts on them): only
// the outermost one sets the cursor.
TBusyCursor::TBusyCursor()
{
    if (BusyDepth++ == 0)
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

TBusyCursor::~TBusyCursor()
{
    if (--BusyDepth == 0)
        QApplication::restoreOverrideCursor();
}

TUserTurn::TUserTurn()
{
    if (BusyDepth)
        QApplication::restoreOverrideCursor();
}

TUserTurn::~TUserTurn()
{
    if (BusyDepth)
        QApplication::setOverrideCursor(Qt::WaitCursor);
}
