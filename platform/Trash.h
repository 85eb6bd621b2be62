// The freedesktop.org Trash, our own: the home trash ($XDG_DATA_HOME/Trash,
// created 0700 when missing) for files on the home's file system; for files on
// another file system $topdir/.Trash/$uid (a sticky folder that is not a link)
// or $topdir/.Trash-$uid. The .trashinfo is written before the file moves;
// names are made unique. A file that cannot be moved by rename() into a trash
// on its own file system is not trashed (never copied and deleted).
#pragma once

#include <string>
#include <vector>

struct MountEntry;

struct TrashOutcome {
    bool ok = false;
    int error = 0;          // errno of the failure when !ok
    std::string message;    // what went wrong, for the user
    std::string trashedAs;  // full path of the entry in <trash>/files when ok
    std::string infoPath;   // full path of its .trashinfo when ok
};

// The home trash folder ($XDG_DATA_HOME/Trash, default ~/.local/share/Trash).
std::string HomeTrashDir();

// Moves one file or folder to the trash of its file system.
TrashOutcome MoveToTrash(const std::string &path);
// The same with a mount table read by the caller, for a batch of paths.
TrashOutcome MoveToTrash(const std::string &path, const std::vector<MountEntry> &mounts);
