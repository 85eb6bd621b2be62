#include "controls/foldertree/ItemProp.h"

#include "platform/DirReader.h"
#include "platform/Paths.h"
#include "controls/foldertree/detail/ItemCommands.h"

#include <QCoreApplication>
#include <QMenu>
#include <QPoint>
#include <QPointer>
#include <QStatusTipEvent>
#include <QWidget>

#include <fnmatch.h>

namespace {

QString CurrentHint;

void SetHint(QWidget *owner, const QString &hint)
{
    CurrentHint = hint;
    if (!owner)
        return;
    // The status line shows a hint's long part, as for every control. It
    // goes to the window itself: a view (a tree) keeps status tips sent to
    // it from its parents.
    QStatusTipEvent tip(hint.section(QLatin1Char('|'), 1));
    QCoreApplication::sendEvent(owner->window(), &tip);
}

// One action as it was asked for.
struct TActionRequest {
    TItemActionKind kind = iakContextMenu;
    std::uint32_t attributes = 0;
    QWidget *owner = nullptr;
    QPoint position;
    std::string verb;
    TNewFolderHandler newFolder;
    bool *renameChosen = nullptr; // the caller's report of the menu's Rename
    bool allowRename = true;      // the caller can start a renaming
};

// The items a path form named: their folder and their IDs, owned here.
struct TResolvedItems {
    TShellFolderPtr folder;
    std::vector<TPidlHolder> ids;
    std::uint32_t attributes = 0; // what all the items share
};

TShellFolderPtr BindFolderPath(const std::string &folderPath, QWidget *owner)
{
    TShellFolderPtr desktop = GetDesktopFolder();
    TPidlHolder id;
    if (!desktop->ParseDisplayName(owner, folderPath, id))
        return nullptr;
    return desktop->BindToObject(id.get());
}

// Adds the item `name` of the resolved folder; false when it names nothing.
bool AddName(TResolvedItems &out, const std::string &name, QWidget *owner)
{
    TPidlHolder id;
    if (name.empty() || !out.folder->ParseDisplayName(owner, name, id))
        return false;
    out.ids.push_back(std::move(id));
    return true;
}

// The root of a volume has no name in a folder: it is an item of "Computer".
bool ResolveVolumeRoot(const std::string &path, QWidget *owner, TResolvedItems &out)
{
    TPidlHolder computerId;
    if (!GetSpecialFolderLocation(owner, csidlDrives, computerId))
        return false;
    out.folder = GetDesktopFolder()->BindToObject(computerId.get());
    out.ids.clear();
    TPidlHolder volume;
    if (!out.folder || !out.folder->ParseDisplayName(owner, path, volume))
        return false;
    // Only a path that is a volume's root resolves to a single item here.
    if (PIDLCount(volume.get()) != 1)
        return false;
    out.ids.push_back(std::move(volume));
    return true;
}

// The attributes the items have in common (sfgaoHasSubfolder is not asked:
// answering it lists each folder).
bool ReadSharedAttributes(TResolvedItems &out)
{
    if (out.ids.empty())
        return false;
    const std::uint32_t mask = ~std::uint32_t(sfgaoHasSubfolder);
    out.attributes = mask;
    for (const TPidlHolder &id : out.ids)
        out.attributes &= out.folder->GetAttributesOf(id.get(), mask);
    return true;
}

// One path: its folder part and its name, which may be a wildcard pattern
// for every matching entry of the folder (hidden ones too).
bool ResolvePath(const std::string &path, QWidget *owner, bool wildcards, TResolvedItems &out)
{
    out = {};
    if (path.empty())
        return false;
    const std::string full = ExcludeTrailingSlash(AbsolutePath(path));
    const std::string folderPath = ParentFolder(full);
    const std::string name = full.substr(full.rfind('/') + 1);
    if (name.empty())
        return ResolveVolumeRoot(full, owner, out) && ReadSharedAttributes(out);
    out.folder = BindFolderPath(folderPath, owner);
    if (!out.folder)
        return false;
    if (wildcards && name.find_first_of("*?") != std::string::npos) {
        TDirReader reader(folderPath);
        TDirEntry entry;
        while (reader.Next(entry, false))
            if (entry.name != "." && entry.name != ".." && ::fnmatch(name.c_str(), entry.name.c_str(), 0) == 0)
                AddName(out, entry.name, owner);
    } else if (!AddName(out, name, owner)) {
        return false;
    }
    return ReadSharedAttributes(out);
}

bool ResolveNames(const std::string &folderPath, const std::vector<std::string> &names, QWidget *owner,
                  TResolvedItems &out)
{
    out = {};
    out.folder = BindFolderPath(ExcludeTrailingSlash(AbsolutePath(folderPath)), owner);
    if (!out.folder)
        return false;
    for (const std::string &name : names)
        AddName(out, name, owner);
    return ReadSharedAttributes(out);
}

const TItemCommand *FindCommand(const std::vector<const TItemCommand *> &commands, const std::string &verb)
{
    for (const TItemCommand *c : commands)
        if (QString::fromStdString(verb).compare(QLatin1String(c->verb), Qt::CaseInsensitive) == 0)
            return c;
    return nullptr;
}

bool ShowMenu(const TActionItems &items, const std::vector<const TItemCommand *> &commands, TActionRequest &request)
{
    // The owner may go while the menu is up (a tree rebuilt by a mount);
    // the menu itself has no parent, so nothing deletes it under us.
    QPointer<QWidget> owner(request.owner);
    QMenu menu;
    int group = commands.front()->group;
    for (const TItemCommand *command : commands) {
        if (command->group != group)
            menu.addSeparator();
        group = command->group;
        QAction *action = menu.addAction(QString::fromUtf8(command->text));
        action->setData(QString::fromUtf8(command->verb));
        if (command->id == TItemCommandId::Open)
            menu.setDefaultAction(action);
    }
    QObject::connect(&menu, &QMenu::hovered, &menu, [&owner, &commands](QAction *action) {
        if (const TItemCommand *c = FindCommand(commands, action->data().toString().toStdString()))
            SetHint(owner, QStringLiteral("%1|%2").arg(QLatin1String(c->verb), QString::fromUtf8(c->help)));
    });
    QObject::connect(&menu, &QMenu::aboutToHide, &menu, [&owner] { SetHint(owner, QString()); });

    QAction *chosen;
    {
        TUserTurn turn;
        chosen = menu.exec(request.position);
    }
    if (!chosen)
        return true;
    const TItemCommand *command = FindCommand(commands, chosen->data().toString().toStdString());
    if (!command)
        return false;
    if (command->id == TItemCommandId::Rename) {
        if (request.renameChosen)
            *request.renameChosen = true;
        return true;
    }
    return RunItemCommand(*command, items, owner, request.newFolder);
}

// The frame every action shares once its items are known.
bool CarryOut(const TShellFolderPtr &folder, const PCItemIDList *ids, int count, TActionRequest &request)
{
    TBusyCursor busy;
    TActionItems items;
    if (!GatherActionItems(folder, ids, count, items))
        return false;
    const std::vector<const TItemCommand *> commands = ApplicableCommands(items);
    const TItemCommand *command = nullptr;
    switch (request.kind) {
    case iakContextMenu: {
        std::vector<const TItemCommand *> offered = commands;
        if (!request.allowRename)
            std::erase_if(offered, [](const TItemCommand *c) { return c->id == TItemCommandId::Rename; });
        return !offered.empty() && ShowMenu(items, offered, request);
    }
    case iakProperties:
        if (request.attributes & sfgaoHasPropSheet)
            command = FindCommand(commands, "properties");
        break;
    case iakDefaultAction:
        command = FindCommand(commands, "open");
        break;
    case iakVerb:
        command = FindCommand(commands, request.verb);
        break;
    }
    return command && RunItemCommand(*command, items, request.owner, request.newFolder);
}

bool CarryOut(const TResolvedItems &resolved, TActionRequest &request)
{
    std::vector<PCItemIDList> ids;
    for (const TPidlHolder &id : resolved.ids)
        ids.push_back(id.get());
    request.attributes = resolved.attributes;
    return CarryOut(resolved.folder, ids.data(), int(ids.size()), request);
}

// The three forms of every entry point.
bool OnItems(TActionRequest request, const TShellFolderPtr &folder, const PCItemIDList *ids, int count)
{
    return CarryOut(folder, ids, count, request);
}

bool OnPath(TActionRequest request, const std::string &path)
{
    TBusyCursor busy;
    TResolvedItems resolved;
    return ResolvePath(path, request.owner, true, resolved) && CarryOut(resolved, request);
}

bool OnNames(TActionRequest request, const std::string &folderPath, const std::vector<std::string> &names)
{
    TBusyCursor busy;
    TResolvedItems resolved;
    return ResolveNames(folderPath, names, request.owner, resolved) && CarryOut(resolved, request);
}

TActionRequest Request(TItemActionKind kind, QWidget *owner, std::uint32_t attributes = 0,
                       const std::string &verb = {})
{
    TActionRequest request;
    request.kind = kind;
    request.owner = owner;
    request.attributes = attributes;
    request.verb = verb;
    return request;
}

// Every action starts with the rename report cleared.
TActionRequest MenuRequest(QWidget *owner, const QPoint &position, bool allowRename, bool &renameChosen,
                           std::uint32_t attributes = 0, const TNewFolderHandler &newFolder = {})
{
    renameChosen = false;
    TActionRequest request = Request(iakContextMenu, owner, attributes);
    request.position = position;
    request.renameChosen = &renameChosen;
    request.allowRename = allowRename;
    request.newFolder = newFolder;
    return request;
}

} // namespace

// ---------------------------------------------------------------- context menu

bool DisplayContextMenu(const TShellFolderPtr &folder, const PCItemIDList *ids, std::uint32_t attributes,
                        QWidget *owner, const QPoint &position, int count, bool allowRename, bool &renameChosen,
                        const TNewFolderHandler &newFolder)
{
    return OnItems(MenuRequest(owner, position, allowRename, renameChosen, attributes, newFolder), folder, ids,
                   count);
}

bool DisplayContextMenu(const std::string &path, QWidget *owner, const QPoint &position, bool allowRename,
                        bool &renameChosen)
{
    return OnPath(MenuRequest(owner, position, allowRename, renameChosen), path);
}

bool DisplayContextMenu(const std::string &folderPath, const std::vector<std::string> &names, QWidget *owner,
                        const QPoint &position, bool allowRename, bool &renameChosen)
{
    return OnNames(MenuRequest(owner, position, allowRename, renameChosen), folderPath, names);
}

// ---------------------------------------------------------------- properties

bool DisplayPropertiesDialog(const TShellFolderPtr &folder, const PCItemIDList *ids, std::uint32_t attributes,
                             QWidget *owner, int count)
{
    return OnItems(Request(iakProperties, owner, attributes), folder, ids, count);
}

bool DisplayPropertiesDialog(const std::string &path, QWidget *owner)
{
    return OnPath(Request(iakProperties, owner), path);
}

bool DisplayPropertiesDialog(const std::string &folderPath, const std::vector<std::string> &names, QWidget *owner)
{
    return OnNames(Request(iakProperties, owner), folderPath, names);
}

// ---------------------------------------------------------------- default action

bool PerformDefaultAction(const TShellFolderPtr &folder, const PCItemIDList *ids, std::uint32_t attributes,
                          QWidget *owner, int count)
{
    return OnItems(Request(iakDefaultAction, owner, attributes), folder, ids, count);
}

bool PerformDefaultAction(const std::string &path, QWidget *owner)
{
    return OnPath(Request(iakDefaultAction, owner), path);
}

bool PerformDefaultAction(const std::string &folderPath, const std::vector<std::string> &names, QWidget *owner)
{
    return OnNames(Request(iakDefaultAction, owner), folderPath, names);
}

// ---------------------------------------------------------------- verb

bool PerformVerb(const std::string &verb, const TShellFolderPtr &folder, const PCItemIDList *ids,
                 std::uint32_t attributes, QWidget *owner, int count)
{
    return OnItems(Request(iakVerb, owner, attributes, verb), folder, ids, count);
}

bool PerformVerb(const std::string &verb, const std::string &path, QWidget *owner)
{
    return OnPath(Request(iakVerb, owner, 0, verb), path);
}

bool PerformVerb(const std::string &verb, const std::string &folderPath, const std::vector<std::string> &names,
                 QWidget *owner)
{
    return OnNames(Request(iakVerb, owner, 0, verb), folderPath, names);
}

// ---------------------------------------------------------------- helpers

bool GetPIDLAndShellFolder(const std::string &path, TShellFolderPtr &folder, TPidlHolder &id, QWidget *owner)
{
    folder = nullptr;
    id.reset();
    TResolvedItems resolved;
    if (!ResolvePath(path, owner, false, resolved) || resolved.ids.size() != 1)
        return false;
    folder = resolved.folder;
    id = std::move(resolved.ids.front());
    return true;
}

QString ItemPropHint()
{
    return CurrentHint;
}
