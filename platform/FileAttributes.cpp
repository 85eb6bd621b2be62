#include "platform/FileAttributes.h"

#include "platform/MountTable.h"

#include <acl/libacl.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <set>
#include <unistd.h>

bool IsReadOnlyPath(const std::string &path)
{
    return ::access(path.c_str(), W_OK) != 0;
}

bool ParseAttributeList(const std::string &list, unsigned &bits, std::string &error)
{
    static const std::pair<const char *, unsigned> kNames[] = {
        {"mtime", abMtime}, {"mode", abMode}, {"owner", abOwner}, {"xattr", abXattr}, {"acl", abAcl},
    };
    bits = 0;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string name = list.substr(start, comma - start);
        const auto known = std::find_if(std::begin(kNames), std::end(kNames),
                                        [&](const auto &n) { return name == n.first; });
        if (known == std::end(kNames)) {
            error = name.empty() ? "an empty attribute name" : "unknown attribute '" + name + "'";
            return false;
        }
        bits |= known->second;
        start = comma + 1;
    }
    return true;
}

std::int64_t TimeGranularityOf(std::int64_t type)
{
    constexpr std::int64_t kMsdos = 0x4d44, kExfat = 0x2011BAB0, kNtfs = 0x5346544e;
    if (type == kMsdos || type == kExfat)
        return 2'000'000'000;
    if (type == kNtfs)
        return 100;
    return 1;
}

std::int64_t FuseTimeGranularityOf(const std::string &mountType)
{
    // What follows "fuse." or "fuseblk." is the file system the FUSE program
    // serves (exfat-fuse, fusefat, ntfs-3g), when it says.
    const std::size_t dot = mountType.find('.');
    std::string served = dot == std::string::npos ? std::string() : mountType.substr(dot + 1);
    std::transform(served.begin(), served.end(), served.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (served.find("fat") != std::string::npos || served.find("msdos") != std::string::npos)
        return 2'000'000'000;
    if (served.find("ntfs") != std::string::npos)
        return 100;
    return 1;
}

std::string JoinAttributeNames(const std::vector<std::string> &names)
{
    std::string out;
    for (const std::string &n : names)
        out += (out.empty() ? "" : ", ") + n;
    return out;
}

namespace {

constexpr char kAclAccess[] = "system.posix_acl_access";

// The names a file lists; a file system without extended attributes lists
// none.
int ListNames(int fd, std::vector<std::string> &names)
{
    names.clear();
    std::string buffer;
    for (;;) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size < 0)
            return errno == ENOTSUP ? 0 : errno;
        if (size == 0)
            return 0;
        buffer.resize(std::size_t(size));
        const ssize_t got = ::flistxattr(fd, buffer.data(), buffer.size());
        if (got >= 0) {
            buffer.resize(std::size_t(got));
            break;
        }
        if (errno != ERANGE) // grew in between: ask again
            return errno;
    }
    std::size_t start = 0;
    while (start < buffer.size()) {
        const std::size_t end = std::min(buffer.find('\0', start), buffer.size());
        if (end > start)
            names.push_back(buffer.substr(start, end - start));
        start = end + 1;
    }
    return 0;
}

bool Compared(const std::string &name)
{
    return name.rfind("user.", 0) == 0 || name.rfind("security.", 0) == 0 || name.rfind("trusted.", 0) == 0;
}

// The value of `name`; false when it cannot be read.
bool ValueOf(int fd, const std::string &name, std::string &value)
{
    for (;;) {
        const ssize_t size = ::fgetxattr(fd, name.c_str(), nullptr, 0);
        if (size < 0)
            return false;
        value.resize(std::size_t(size));
        const ssize_t got = ::fgetxattr(fd, name.c_str(), value.data(), value.size());
        if (got >= 0) {
            value.resize(std::size_t(got));
            return true;
        }
        if (errno != ERANGE)
            return false;
    }
}

// The access ACL of an open file; one made from its permission bits where
// the file system keeps none.
acl_t AclOf(int fd, mode_t mode)
{
    acl_t acl = ::acl_get_fd(fd);
    if (!acl && (errno == ENOTSUP || errno == ENODATA))
        acl = ::acl_from_mode(mode);
    return acl;
}

} // namespace

std::int64_t TAttributeComparer::GranularityOf(int fd, std::uint64_t device, int &error)
{
    const auto known = m_granularity.find(device);
    if (known != m_granularity.end())
        return known->second;
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0) {
        error = errno;
        return 1;
    }
    constexpr std::int64_t kFuse = 0x65735546;
    std::int64_t step = TimeGranularityOf(std::int64_t(fs.f_type));
    if (std::int64_t(fs.f_type) == kFuse) {
        // The mount table tells what a FUSE program serves.
        for (const MountEntry &m : ReadMountTable()) {
            if (m.major == ::major(dev_t(device)) && m.minor == ::minor(dev_t(device))) {
                step = FuseTimeGranularityOf(m.fsType);
                break;
            }
        }
    }
    return m_granularity[device] = step;
}

int TAttributeComparer::Compare(int firstFd, int secondFd, std::vector<std::string> &differing, int &failedSide)
{
    differing.clear();
    const int fds[2] = {firstFd, secondFd};
    struct stat st[2] {};
    for (int i = 0; i < 2; ++i) {
        if (::fstat(fds[i], &st[i]) != 0) {
            failedSide = i;
            return errno;
        }
    }
    if (m_bits & abMtime) {
        std::int64_t step = 1;
        for (int i = 0; i < 2; ++i) {
            int error = 0;
            step = std::max(step, GranularityOf(fds[i], std::uint64_t(st[i].st_dev), error));
            if (error) {
                failedSide = i;
                return error;
            }
        }
        // A difference below the coarser step is what that file system made
        // of the same time.
        const auto ns = [](const struct stat &s) {
            return __int128(s.st_mtim.tv_sec) * 1'000'000'000 + s.st_mtim.tv_nsec;
        };
        __int128 delta = ns(st[0]) - ns(st[1]);
        if (delta < 0)
            delta = -delta;
        if (delta >= step)
            differing.push_back("mtime");
    }
    if ((m_bits & abMode) && (st[0].st_mode & 07777) != (st[1].st_mode & 07777))
        differing.push_back("mode");
    if (m_bits & abOwner) {
        if (st[0].st_uid != st[1].st_uid)
            differing.push_back("owner");
        if (st[0].st_gid != st[1].st_gid)
            differing.push_back("group");
    }
    if (!(m_bits & (abXattr | abAcl)))
        return 0;

    std::vector<std::string> names[2];
    for (int i = 0; i < 2; ++i) {
        if (int error = ListNames(fds[i], names[i])) {
            failedSide = i;
            return error;
        }
    }
    bool hasAcl = false;
    if (m_bits & abXattr) {
        std::set<std::string> all;
        for (const auto &list : names)
            for (const std::string &n : list) {
                if (Compared(n))
                    all.insert(n);
            }
        for (const std::string &name : all) {
            bool listed[2], unreadable = false;
            std::string value[2];
            for (int i = 0; i < 2; ++i) {
                listed[i] = std::find(names[i].begin(), names[i].end(), name) != names[i].end();
                if (!listed[i] || ValueOf(fds[i], name, value[i]))
                    continue;
                const int error = errno;
                if (error != EACCES && error != EPERM && error != ENODATA) {
                    failedSide = i;
                    return error;
                }
                unreadable = true;
            }
            // What cannot be read (or went away meanwhile) proves nothing
            // either way.
            if (!unreadable && (listed[0] != listed[1] || value[0] != value[1]))
                differing.push_back("xattr " + name);
        }
    }
    if (m_bits & abAcl) {
        for (const auto &list : names)
            hasAcl = hasAcl || std::find(list.begin(), list.end(), kAclAccess) != list.end();
    }
    // Without an ACL of its own on either side, each is the one its
    // permission bits make, and those are compared as the mode.
    if (hasAcl) {
        acl_t acl[2] = {nullptr, nullptr};
        int error = 0;
        for (int i = 0; i < 2 && !error; ++i) {
            acl[i] = AclOf(fds[i], st[i].st_mode);
            if (!acl[i]) {
                error = errno;
                failedSide = i;
            }
        }
        if (!error) {
            const int cmp = ::acl_cmp(acl[0], acl[1]);
            if (cmp < 0)
                error = errno, failedSide = 0;
            else if (cmp == 1)
                differing.push_back("acl");
        }
        for (acl_t a : acl)
            if (a)
                ::acl_free(a);
        if (error)
            return error;
    }
    return 0;
}
