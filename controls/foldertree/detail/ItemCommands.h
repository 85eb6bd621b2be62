// The commands behind the item actions: which of them apply to a set of
// items, and carrying one out. ItemProp.h describes what each one does.
#pragma once

#include "controls/foldertree/detail/DesktopBus.h"
#include "controls/foldertree/ItemProp.h"
#include "controls/foldertree/ShellNamespace.h"

#include <cstdint>
#include <string>
#include <vector>

class QWidget;

// One item of an action, as the commands need it.
struct TActionItem {
    PCItemIDList id = nullptr;    // relative to the action's folder; not owned
    std::string path;             // empty for an item without one ("Computer")
    std::string name;             // as its folder shows it
    std::uint32_t attributes = 0; // read from the folder when the action starts
    bool mountPoint = false;      // "/" or a mount point: never deleted nor renamed
};

// The items of one action: what a shell's context-menu object stands for.
struct TActionItems {
    TShellFolderPtr folder;
    std::vector<TActionItem> items;
    // The volume when the only item is a mount point udisks2 manages.
    TUdisksVolume volume;
};

// Reads what the commands need to know of `count` items of `folder`. False
// when there are none, or one does not exist (its folder gives it no
// attributes).
bool GatherActionItems(const TShellFolderPtr &folder, const PCItemIDList *ids, int count, TActionItems &items);

enum class TItemCommandId {
    Open,
    OpenContainingFolder,
    Unmount,
    Eject,
    NewFolder,
    CopyPath,
    Delete,
    Rename,
    Properties,
};

struct TItemCommand {
    TItemCommandId id;
    const char *verb;
    const char *text; // the menu's text, with its access key
    const char *help; // the long part of the hint
    int group;        // the menu puts a separator between groups
};

// The commands that apply to every item, in menu order.
std::vector<const TItemCommand *> ApplicableCommands(const TActionItems &items);

// Carries out a command (Rename excepted: it only reports). False when it
// could not be done or the user cancelled the question it asked.
bool RunItemCommand(const TItemCommand &command, const TActionItems &items, QWidget *owner,
                    const TNewFolderHandler &newFolder);

// The busy cursor for the life of an action. A TUserTurn inside it gives
// the user's cursor back while a menu, a question or a prompt waits.
class TBusyCursor
{
public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor &) = delete;
    TBusyCursor &operator=(const TBusyCursor &) = delete;
};

class TUserTurn
{
public:
    TUserTurn();
    ~TUserTurn();
    TUserTurn(const TUserTurn &) = delete;
    TUserTurn &operator=(const TUserTurn &) = delete;
};
