// Removes a folder and everything below it, byte by byte: Qt cannot name
// files whose names are not UTF-8, and tests make such files on purpose.
#pragma once

#include <cstdio>
#include <ftw.h>
#include <string>

namespace QvlTest {

inline int RemoveTreeEntry(const char *path, const struct stat *, int, struct FTW *)
{
    ::remove(path);
    return 0;
}

inline void RemoveTree(const std::string &path)
{
    ::nftw(path.c_str(), RemoveTreeEntry, 64, FTW_DEPTH | FTW_PHYS);
}

} // namespace QvlTest
