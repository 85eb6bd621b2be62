// The desktop's own actions on namespace items (ShellNamespace.h): a context
// menu of their commands, their properties, their default action, or one
// command named by its verb. Items are given in three forms: a folder with
// an array of item IDs relative to it; one path (whose name may hold the
// wildcards '*' and '?', for every entry of its folder that matches); or a
// folder path with a list of names (names that name nothing are skipped).
//
// The commands, by verb, and what each does:
//   "open"                 the desktop's default application (the default action)
//   "opencontainingfolder" the file manager shows the items selected in their folder
//   "newfolder"            asks for a name and makes that folder in the item (a folder)
//   "copypath"             the full paths, one a line, to the clipboard
//   "delete"               to the trash; what cannot go there is deleted for good
//                          only after a question. Never "/" nor a mount point
//   "rename"               menu only: reports rename-chosen, changes nothing
//   "unmount", "eject"     a volume udisks2 manages, while udisks2 runs
//   "properties"           a window with name, location, size, owner, permissions
//                          and the volume's file system and free space
// A command is offered (and a verb carried out) only where it applies to
// every item; which ones apply is read from the folder at the time.
//
// Every entry point returns true when the action was carried out, and false,
// with nothing shown and nothing changed, when it could not be: items that
// cannot be resolved, a menu with no command, a command that does not apply
// or fails. The cursor shows busy while an action works (not while it waits
// for the user). All of this runs on the window thread.
#pragma once

#include "controls/foldertree/PidlHelp.h"
#include "controls/foldertree/ShellNamespace.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QPoint;
class QWidget;

// The four kinds of action.
enum TItemActionKind {
    iakContextMenu = 0,
    iakProperties = 1,
    iakDefaultAction = 2,
    iakVerb = 3,
};

// Makes the folder the menu's New Folder command was given a name for, in
// the single folder the menu was shown for; true when it was made. Without
// one the folder is made in the file system directly.
using TNewFolderHandler = std::function<bool(const std::string &name)>;

// ---------------------------------------------------------------- context menu

// Shows the items' commands as a modal menu at `position` (screen
// coordinates) and carries out the one the user picks. Closing the menu
// without a choice returns true and does nothing. Picking Rename only sets
// `renameChosen` (the caller starts the renaming); it is false after every
// other outcome. Rename is offered where the item can be renamed and the
// caller can carry it out (`allowRename`): a caller whose names cannot be
// edited never offers a command that would do nothing. While the pointer is
// on a command, the hint (ItemPropHint) is "verb|help".
bool DisplayContextMenu(const TShellFolderPtr &folder, const PCItemIDList *ids, std::uint32_t attributes,
                        QWidget *owner, const QPoint &position, int count, bool allowRename, bool &renameChosen,
                        const TNewFolderHandler &newFolder = {});
bool DisplayContextMenu(const std::string &path, QWidget *owner, const QPoint &position, bool allowRename,
                        bool &renameChosen);
bool DisplayContextMenu(const std::string &folderPath, const std::vector<std::string> &names, QWidget *owner,
                        const QPoint &position, bool allowRename, bool &renameChosen);

// ---------------------------------------------------------------- properties

// Shows the properties window of the items (it stays open on its own, over
// the owner's window); only for items whose attributes (the caller's, or for
// the path forms those all items share) include sfgaoHasPropSheet.
bool DisplayPropertiesDialog(const TShellFolderPtr &folder, const PCItemIDList *ids, std::uint32_t attributes,
                             QWidget *owner, int count);
bool DisplayPropertiesDialog(const std::string &path, QWidget *owner);
bool DisplayPropertiesDialog(const std::string &folderPath, const std::vector<std::string> &names, QWidget *owner);

// ---------------------------------------------------------------- default action

// Carries out the items' default command (Open).
bool PerformDefaultAction(const TShellFolderPtr &folder, const PCItemIDList *ids, std::uint32_t attributes,
                          QWidget *owner, int count);
bool PerformDefaultAction(const std::string &path, QWidget *owner);
bool PerformDefaultAction(const std::string &folderPath, const std::vector<std::string> &names, QWidget *owner);

// ---------------------------------------------------------------- verb

// Carries out the command named by `verb` (see the list above; letter case
// does not matter).
bool PerformVerb(const std::string &verb, const TShellFolderPtr &folder, const PCItemIDList *ids,
                 std::uint32_t attributes, QWidget *owner, int count);
bool PerformVerb(const std::string &verb, const std::string &path, QWidget *owner);
bool PerformVerb(const std::string &verb, const std::string &folderPath, const std::vector<std::string> &names,
                 QWidget *owner);

// ---------------------------------------------------------------- helpers

// Resolves a path into the folder that holds it and its one-item ID there
// (a list `id` held is released). A volume's root is resolved in "Computer".
// False, with both left empty, when the path names nothing.
bool GetPIDLAndShellFolder(const std::string &path, TShellFolderPtr &folder, TPidlHolder &id, QWidget *owner);

// The application's hint while a menu of this unit is up: "verb|help" for
// the command under the pointer, empty once the menu closes. Each change is
// also sent as a status tip carrying the long part (the help text) to the
// owner's window, which is how a window's status line learns of any hint.
QString ItemPropHint();
