// Renaming one entry within its folder, never over another entry.
#pragma once

#include <string>

// Gives the entry `path` the name `newName` in the same folder. The entry
// itself is renamed (a link as a link); the folders on the way to it are
// followed as given. Whatever already has the new name (a file, a link, a
// folder, even an empty one) is never replaced: EEXIST. The kernel refuses
// the root and mount points (EBUSY), and a file system that cannot rename
// without the risk of replacing refuses too (EINVAL); nothing falls back to
// a rename that could replace. `newName` must be one plain name: "", ".",
// ".." and names holding '/' give EINVAL. Renaming an entry to its own name
// changes nothing and succeeds. 0 on success, else the errno.
int RenameEntry(const std::string &path, const std::string &newName);
