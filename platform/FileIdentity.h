// Who a file is and how it looked: enough to notice that a path now names
// another file, or that the file was written to or replaced since.
#pragma once

#include <cstdint>
#include <string>

struct stat;

struct TFileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t mtimeSec = 0;
    std::int64_t mtimeNsec = 0;
    // The change time catches what the others miss: a rewrite in place whose
    // modification time was set back, a rename, a new hard link.
    std::int64_t ctimeSec = 0;
    std::int64_t ctimeNsec = 0;

    // The same file, whatever happened to its contents.
    bool SameFileAs(const TFileIdentity &o) const { return device == o.device && inode == o.inode; }
    bool operator==(const TFileIdentity &o) const = default;
};

TFileIdentity IdentityFromStat(const struct stat &st);

// The identity of what a path names now (links followed); false when it
// names nothing or not a regular file.
bool IdentityOf(const std::string &path, TFileIdentity &out);
// The same for the entry `name` of the folder open as `folderFd`.
bool IdentityOfAt(int folderFd, const char *name, TFileIdentity &out);
