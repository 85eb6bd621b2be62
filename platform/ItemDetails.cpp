#include "platform/ItemDetails.h"

#include "platform/MountTable.h"
#include "platform/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

char TypeLetterOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return 'd';
    if (S_ISREG(mode))
        return '-';
    if (S_ISLNK(mode))
        return 'l';
    if (S_ISFIFO(mode))
        return 'p';
    if (S_ISSOCK(mode))
        return 's';
    if (S_ISCHR(mode))
        return 'c';
    if (S_ISBLK(mode))
        return 'b';
    return '?';
}

// The reentrant look-ups: the counting thread of a properties window may run
// beside the window thread.
std::string UserName(uid_t uid)
{
    std::vector<char> buffer(16384);
    passwd pw;
    passwd *found = nullptr;
    if (::getpwuid_r(uid, &pw, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    return found->pw_name;
}

std::string GroupName(gid_t gid)
{
    std::vector<char> buffer(16384);
    group gr;
    group *found = nullptr;
    if (::getgrgid_r(gid, &gr, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    return found->gr_name;
}

std::string RealPath(const std::string &path)
{
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

// The last mount listed on `mountPoint` (later mounts hide earlier ones).
const MountEntry *MountOn(const std::string &mountPoint, const std::vector<MountEntry> &mounts)
{
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it)
        if (it->mountPoint == mountPoint)
            return &*it;
    return nullptr;
}

} // namespace

TItemDetails GetItemDetails(const std::string &path)
{
    TItemDetails d;
    struct stat st;
    if (path.empty() || ::lstat(path.c_str(), &st) != 0) {
        d.error = path.empty() ? ENOENT : errno;
        return d;
    }
    d.isDir = S_ISDIR(st.st_mode);
    d.isFile = S_ISREG(st.st_mode);
    d.isLink = S_ISLNK(st.st_mode);
    if (d.isLink) {
        std::vector<char> target(std::size_t(st.st_size > 0 ? st.st_size : 4095) + 1);
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n > 0)
            d.linkTarget.assign(target.data(), std::size_t(n));
    }
    d.size = static_cast<std::uint64_t>(st.st_size);
    d.modifiedSec = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    d.mode = st.st_mode & 07777;
    d.typeLetter = TypeLetterOf(st.st_mode);
    d.uid = st.st_uid;
    d.gid = st.st_gid;
    d.owner = UserName(st.st_uid);
    d.group = GroupName(st.st_gid);
    return d;
}

std::string ModeString(char typeLetter, unsigned mode)
{
    std::string s(10, '-');
    s[0] = typeLetter;
    const char *const letters = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i)
        if (mode & (0400u >> i))
            s[std::size_t(i) + 1] = letters[i];
    // Set-id and sticky bits take the place of the execute letters.
    if (mode & 04000)
        s[3] = (mode & 0100) ? 's' : 'S';
    if (mode & 02000)
        s[6] = (mode & 0010) ? 's' : 'S';
    if (mode & 01000)
        s[9] = (mode & 0001) ? 't' : 'T';
    return s;
}

TVolumeDetails GetVolumeDetails(const std::string &path)
{
    TVolumeDetails v;
    struct statvfs vfs;
    if (path.empty() || ::statvfs(path.c_str(), &vfs) != 0) {
        v.error = path.empty() ? ENOENT : errno;
        return v;
    }
    v.totalBytes = std::uint64_t(vfs.f_blocks) * vfs.f_frsize;
    v.availableBytes = std::uint64_t(vfs.f_bavail) * vfs.f_frsize;
    v.readOnly = (vfs.f_flag & ST_RDONLY) != 0;
    const std::vector<MountEntry> mounts = ReadMountTable();
    std::string real = RealPath(path);
    if (real.empty())
        real = AbsolutePath(path);
    const std::string drive = DrivePart(real, mounts);
    v.mountPoint = drive.empty() ? "/" : drive;
    if (const MountEntry *m = MountOn(v.mountPoint, mounts)) {
        v.fsType = m->fsType;
        v.source = m->source;
    }
    return v;
}

bool IsMountPoint(const std::string &path)
{
    // Mounting follows links, so a link is never a mount point itself, and
    // deleting one only takes the link.
    struct stat st;
    if (path.empty() || ::lstat(ExcludeTrailingSlash(path).c_str(), &st) != 0 || S_ISLNK(st.st_mode))
        return false;
    const std::string real = RealPath(path);
    if (real.empty())
        return false;
    if (real == "/")
        return true;
    return DrivePart(real, ReadMountTable()) == real;
}

int CreateFolder(const std::string &path)
{
    if (path.empty())
        return ENOENT;
    return ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno;
}
