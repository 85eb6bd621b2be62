// File attributes that a Linux file system has no bit for, answered the way a
// user of the file would see them.
#pragma once

#include <string>

// True when the user may not write the entry (access(W_OK) fails), which is
// what "read-only" means to the lists. Nothing is opened.
bool IsReadOnlyPath(const std::string &path);
