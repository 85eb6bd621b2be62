#include "Trash.h"

#include "MountTable.h"
#include "Paths.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using CPath = std::unique_ptr<char, decltype(&std::free)>;

TrashOutcome Failure(int error, const std::string &what)
{
    TrashOutcome out;
    out.error = error ? error : EIO;
    out.message = what + ": " + std::strerror(out.error);
    return out;
}

std::string HomeFolder()
{
    const char *home = std::getenv("HOME");
    if (home && *home)
        return ExcludeTrailingSlash(home);
    if (const passwd *pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return ExcludeTrailingSlash(pw->pw_dir);
    return {};
}

// Creates a folder and the missing folders above it, each with `mode`.
// Succeeds when the path ends up a folder (a link to one counts: the home
// trash is the user's own business).
bool MakePath(const std::string &path, mode_t mode)
{
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        errno = ENOTDIR;
        return false;
    }
    if (errno != ENOENT)
        return false;
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakePath(path.substr(0, slash), mode))
        return false;
    if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST)
        return false;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

// A folder of a trash on a shared volume: created 0700 when missing; it must
// then be a real folder (not a link that someone could point anywhere) that
// belongs to this user.
bool MakePrivateDir(const std::string &path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    if (st.st_uid != ::getuid()) {
        errno = EPERM;
        return false;
    }
    return true;
}

bool MakeFilesAndInfo(const std::string &trash, bool shared)
{
    for (const char *sub : {"/files", "/info"}) {
        const std::string dir = trash + sub;
        if (shared ? !MakePrivateDir(dir) : !MakePath(dir, 0700))
            return false;
    }
    return true;
}

// The trash for a file on another file system than the home trash: the
// administrator's $topdir/.Trash (sticky, a real folder) holds one folder per
// user; without it each user has $topdir/.Trash-$uid.
std::string TopdirTrash(const std::string &topdir, int &error)
{
    const std::string uid = std::to_string(::getuid());
    const std::string shared = topdir + "/.Trash";
    struct stat st;
    if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        const std::string mine = shared + '/' + uid;
        if (MakePrivateDir(mine) && MakeFilesAndInfo(mine, true))
            return mine;
    }
    const std::string own = topdir + "/.Trash-" + uid;
    if (MakePrivateDir(own) && MakeFilesAndInfo(own, true))
        return own;
    error = errno;
    return {};
}

// Bytes kept as they are in a URL path; every other byte is written %XX.
std::string PercentEncode(const std::string &path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
            || c == '-' || c == '_' || c == '.' || c == '~' || c == '/';
        if (keep) {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string LocalTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm {};
    ::localtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
    return buf;
}

// The trash name of the n-th attempt ("name", "name.2", "name.3", ...),
// shortened so that "<name>.trashinfo" still fits a file name; the cut never
// splits a UTF-8 sequence.
std::string TrashName(const std::string &base, unsigned attempt)
{
    const std::string suffix = attempt > 1 ? '.' + std::to_string(attempt) : std::string();
    const std::size_t room = NAME_MAX - std::strlen(".trashinfo") - suffix.size();
    std::string name = base;
    if (name.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    return name + suffix;
}

bool WriteAll(int fd, const std::string &text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

// The path of the entry itself (a link stays a link) with its folder part
// resolved, so that the mount that really holds it is found.
bool ResolveParent(const std::string &path, std::string &resolved, std::string &name)
{
    const std::string abs = ExcludeTrailingSlash(AbsolutePath(path));
    const std::size_t slash = abs.rfind('/');
    if (abs.empty() || slash == std::string::npos || slash + 1 >= abs.size()) {
        errno = EINVAL; // "/" itself, or no path at all
        return false;
    }
    name = abs.substr(slash + 1);
    const std::string parent = slash == 0 ? std::string("/") : abs.substr(0, slash);
    CPath real(::realpath(parent.c_str(), nullptr), &std::free);
    if (!real)
        return false;
    resolved = IncludeTrailingSlash(real.get()) + name;
    return true;
}

// The nearest folder at or above `path` that exists, resolved, and its
// device: where the home trash is, or where it will be created.
bool NearestExisting(std::string path, std::string &resolved, dev_t &dev)
{
    for (;;) {
        struct stat st;
        if (::stat(path.c_str(), &st) == 0) {
            CPath real(::realpath(path.c_str(), nullptr), &std::free);
            if (!real)
                return false;
            resolved = real.get();
            dev = st.st_dev;
            return true;
        }
        const std::size_t slash = path.rfind('/');
        if (path == "/" || slash == std::string::npos)
            return false;
        path = slash == 0 ? std::string("/") : path.substr(0, slash);
    }
}

// The top of the file system that holds `full` below its mount point
// `driveTop`: the mount point itself, or, where a file system keeps parts on
// devices of their own (btrfs subvolumes), the highest folder on the file's
// device, so that its trash can be reached by rename().
std::string VolumeTop(const std::string &full, const std::string &driveTop, dev_t dev)
{
    struct stat st;
    const std::string top = driveTop.empty() ? std::string("/") : driveTop;
    if (::stat(top.c_str(), &st) == 0 && st.st_dev == dev)
        return driveTop;
    std::string cur = full.substr(0, full.rfind('/'));
    while (cur.size() > driveTop.size()) {
        const std::size_t slash = cur.rfind('/');
        const std::string parent = slash == 0 ? std::string("/") : cur.substr(0, slash);
        if (::stat(parent.c_str(), &st) != 0 || st.st_dev != dev)
            break;
        cur = slash == 0 ? std::string() : parent;
    }
    return cur;
}

// rename() that never replaces an entry which appeared under the target
// name; file systems without that flag get a plain rename() (the name was
// checked free just before).
bool RenameNoReplace(const std::string &from, const std::string &to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace

std::string HomeTrashDir()
{
    const char *data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return ExcludeTrailingSlash(data) + "/Trash";
    return HomeFolder() + "/.local/share/Trash";
}

TrashOutcome MoveToTrash(const std::string &path)
{
    return MoveToTrash(path, ReadMountTable());
}

TrashOutcome MoveToTrash(const std::string &path, const std::vector<MountEntry> &mounts)
{
    std::string full, name;
    if (!ResolveParent(path, full, name))
        return Failure(errno, "Cannot find " + path);
    struct stat st;
    if (::lstat(full.c_str(), &st) != 0)
        return Failure(errno, "Cannot find " + full);

    // The home trash takes what can be renamed into it: the same file
    // system, reached through the same mount.
    const std::string home = HomeTrashDir();
    const std::string drive = DrivePart(full, mounts);
    // A volume's root cannot leave its volume; no trash folder is made on it
    // for the attempt.
    if (drive == full)
        return Failure(EBUSY, "Cannot move " + full + ", a mount point");
    std::string homeReal;
    dev_t homeDev = 0;
    std::string trash;
    std::string originalPath;
    if (NearestExisting(home, homeReal, homeDev) && homeDev == st.st_dev
        && DrivePart(homeReal, mounts) == drive) {
        if (!MakePath(home, 0700) || !MakeFilesAndInfo(home, false))
            return Failure(errno, "Cannot create the trash folder " + home);
        trash = home;
        originalPath = full;
    } else {
        const std::string topdir = VolumeTop(full, drive, st.st_dev);
        int error = 0;
        trash = TopdirTrash(topdir, error);
        if (trash.empty())
            return Failure(error, "Cannot create a trash folder in " + topdir + '/');
        originalPath = full.substr(topdir.size() + 1); // relative to the volume's top
    }

    const std::string info = "[Trash Info]\nPath=" + PercentEncode(originalPath)
        + "\nDeletionDate=" + LocalTimeNow() + '\n';
    // The info file is created first, with O_EXCL: it claims the name against
    // anyone else trashing at the same time.
    constexpr unsigned kMaxAttempts = 100000;
    for (unsigned attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        const std::string trashName = TrashName(name, attempt);
        const std::string infoFile = trash + "/info/" + trashName + ".trashinfo";
        const std::string target = trash + "/files/" + trashName;
        const int fd = ::open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return Failure(errno, "Cannot write " + infoFile);
        }
        struct stat taken;
        if (::lstat(target.c_str(), &taken) == 0) {
            // An entry left without its info file: keep it, take another name.
            ::close(fd);
            ::unlink(infoFile.c_str());
            continue;
        }
        bool written = WriteAll(fd, info);
        int error = errno;
        if (::close(fd) != 0 && written) {
            written = false;
            error = errno;
        }
        if (!written) {
            ::unlink(infoFile.c_str());
            return Failure(error, "Cannot write " + infoFile);
        }
        // A rename only: a move to another file system would be a copy and a
        // delete, which is not what trashing promises.
        if (!RenameNoReplace(full, target)) {
            error = errno;
            ::unlink(infoFile.c_str());
            if (error == EEXIST)
                continue; // taken since we looked
            return Failure(error, "Cannot move " + full + " to the trash " + trash);
        }
        TrashOutcome ok;
        ok.ok = true;
        ok.trashedAs = target;
        ok.infoPath = infoFile;
        return ok;
    }
    return Failure(EEXIST, "No free name in the trash " + trash + " for " + name);
}
