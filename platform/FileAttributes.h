// File attributes: what the lists show of them, and what a copy must carry
// over besides its bytes (modification time, permission bits, owner and
// group, extended attributes, the access ACL).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// True when the user may not write the entry (access(W_OK) fails), which is
// what "read-only" means to the lists. Nothing is opened.
bool IsReadOnlyPath(const std::string &path);

// Which attributes a comparison looks at: a set of these bits.
enum TAttributeBits : unsigned {
    abMtime = 1,
    abMode = 2,  // the permission bits, set-id and sticky bits included
    abOwner = 4, // owner and group
    abXattr = 8, // user.*, security.* and trusted.* extended attributes
    abAcl = 16,  // the POSIX access ACL
    abAll = 31,
};

// The bits named in `list` ("mtime,mode,owner,xattr,acl", any of them, in
// any order); false with the unknown name in `error`.
bool ParseAttributeList(const std::string &list, unsigned &bits, std::string &error);

// The finest step a file system keeps modification times in, in
// nanoseconds, from its statfs type: FAT and exFAT keep two seconds, NTFS
// 100 ns, the others (ext4, XFS, Btrfs, tmpfs...) one nanosecond.
std::int64_t TimeGranularityOf(std::int64_t fileSystemType);
// The same for a FUSE file system, told by its type in the mount table
// ("fuse.fusefat", "fuseblk.exfat"): statfs names only FUSE itself.
std::int64_t FuseTimeGranularityOf(const std::string &mountType);

// Compares the attributes of two open files (a copy and its original) and
// tells what differs, in this order: "mtime", "mode", "owner", "group",
// "xattr NAME" for each extended attribute that is missing on one side or
// has other bytes, "acl". Everything is read through the descriptors; a
// file system that keeps no extended attributes or ACLs has none (its ACL
// is the one its permission bits make). An extended attribute that cannot
// be read on a side (trusted.* without the privilege) is left out. The ACL
// is compared as "acl" only, never also as its extended attribute.
class TAttributeComparer
{
public:
    explicit TAttributeComparer(unsigned bits) : m_bits(bits) {}

    // 0, or the errno of a failure to read the attributes of a side;
    // `failedSide` is then 0 for the first file, 1 for the second.
    int Compare(int firstFd, int secondFd, std::vector<std::string> &differing, int &failedSide);

private:
    std::int64_t GranularityOf(int fd, std::uint64_t device, int &error);

    unsigned m_bits;
    // Per device: every file of a file system has its step.
    std::map<std::uint64_t, std::int64_t> m_granularity;
};

// The names joined as the log writes them: "mtime, mode, xattr user.tag".
std::string JoinAttributeNames(const std::vector<std::string> &names);
