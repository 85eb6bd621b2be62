// The process's current folder. Relative paths typed by the user resolve
// against it, and the file lists make the folder they show current, so code
// on the window thread that uses relative paths sees the folder last shown.
#pragma once

#include <string>

// Makes `folder` the process's current folder: 0 on success, otherwise the
// errno of the failure (ENOENT for an empty text). On failure the current
// folder is unchanged.
int SetCurrentFolder(const std::string &folder);

// The current folder as the system reports it (links resolved), or the empty
// string when it cannot be told (it was removed, say).
std::string CurrentFolder();
