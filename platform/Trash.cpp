#include "platform/Trash.h"

#include "platform/MountTable.h"
#include "platform/FolderHandle.h"
#include "platform/Paths.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <dirent.h>
#include <signal.h>
#include <vector>
#include <random>
#include <unordered_map>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <stdio.h>
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

// True when `text` holds UTF-8 (or plain ASCII) only.
bool IsUtf8(const std::string &text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const std::size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > text.size())
            return false;
        for (std::size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += len;
    }
    return true;
}

} // namespace

std::string TrashName(const std::string &base, std::uint64_t n)
{
    const std::string suffix = n > 0 ? '.' + std::to_string(n) : std::string();
    const std::size_t room = NAME_MAX - std::strlen(".trashinfo") - suffix.size();
    std::string name = base;
    if (name.size() > room) {
        // A UTF-8 name is cut where a character begins; any other name is
        // bytes, and is cut at the byte. Either way the cut keeps most of
        // the name: a name cut back to nothing would leave the file nowhere
        // to go but a permanent deletion.
        std::size_t cut = room;
        if (IsUtf8(name))
            while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
                --cut;
        name.resize(cut);
    }
    // Never an empty name, "." or "..", nor one that is only an extension
    // (".jpg" would be taken for a hidden file of no name).
    if (name.empty() || name == "." || name == ".." || name.find_first_not_of('.') == std::string::npos)
        name = "file" + name.substr(0, std::min<std::size_t>(name.size(), 3));
    return name + suffix;
}

namespace {

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

// Our own half-written infos (".quorvel-<pid>-<n>.part") of a process that
// is gone: one killed between writing an info and renaming it into place
// leaves one behind, which no trash reader would ever clear.
void RemoveStaleParts(int infoDir)
{
    const int fd = ::openat(infoDir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    std::vector<std::string> stale;
    while (const dirent *e = ::readdir(dir)) {
        unsigned long pid = 0;
        unsigned long long n = 0;
        int used = 0;
        if (std::sscanf(e->d_name, ".quorvel-%lu-%llu.part%n", &pid, &n, &used) != 2
            || e->d_name[used] != '\0' || pid == 0)
            continue;
        if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            stale.emplace_back(e->d_name);
    }
    ::closedir(dir);
    for (const std::string &name : stale)
        ::unlinkat(infoDir, name.c_str(), 0);
}

// After a taken name, "name.2" ... "name.9" are tried in turn; past those,
// numbers are tried from a random point up to this far ahead, so that a
// trash already full of "name.2" ... "name.50000" from earlier days costs a
// few probes, not fifty thousand.
constexpr std::uint64_t kLastPlainNumber = 9;
constexpr std::uint64_t kNumberJump = 1000000000;

} // namespace

struct TTrashSession::Bin {
    unsigned long long device = 0;
    std::string drive;
    int error = 0;           // the trash could not be made or opened
    std::string message;
    std::string dir;         // the trash folder, holding files/ and info/
    bool home = false;       // the home trash: info paths are absolute
    std::string topdir;      // otherwise: info paths are relative to it
    TFolderHandle files, info;
    // Per name that was found taken in this trash: the number to try next.
    // Names never found taken have no entry, so a batch of different names
    // costs no memory here.
    std::unordered_map<std::string, std::uint64_t> next;
    std::uint64_t partCounter = 0;
};

TTrashSession::TTrashSession() : TTrashSession(ReadMountTable()) {}

TTrashSession::TTrashSession(std::vector<MountEntry> mounts) : m_mounts(std::move(mounts)) {}

TTrashSession::~TTrashSession() = default;

TTrashSession::Bin *TTrashSession::BinFor(unsigned long long device, const std::string &drive,
                                          const std::string &full, TrashOutcome &failure)
{
    for (const auto &b : m_bins) {
        if (b->device == device && b->drive == drive) {
            if (b->error) {
                failure = Failure(b->error, b->message);
                return nullptr;
            }
            return b.get();
        }
    }
    auto bin = std::make_unique<Bin>();
    bin->device = device;
    bin->drive = drive;
    // The home trash takes what can be renamed into it: the same file
    // system, reached through the same mount.
    const std::string home = HomeTrashDir();
    std::string homeReal;
    dev_t homeDev = 0;
    if (NearestExisting(home, homeReal, homeDev) && homeDev == device && DrivePart(homeReal, m_mounts) == drive) {
        bin->home = true;
        bin->dir = home;
        if (!MakePath(home, 0700) || !MakeFilesAndInfo(home, false)) {
            bin->error = errno;
            bin->message = "Cannot create the trash folder " + home;
        }
    } else {
        bin->topdir = VolumeTop(full, drive, dev_t(device));
        int error = 0;
        bin->dir = TopdirTrash(bin->topdir, error);
        if (bin->dir.empty()) {
            bin->error = error;
            bin->message = "Cannot create a trash folder in " + bin->topdir + '/';
        }
    }
    if (!bin->error) {
        // files/ and info/ are held open, and reached without following a
        // link: whatever is done to the paths meanwhile, entries go there.
        TFolderHandle top;
        int error = top.OpenPath(bin->dir);
        if (!error)
            error = bin->files.OpenBelow(top, "files");
        if (!error)
            error = bin->info.OpenBelow(top, "info");
        if (error) {
            bin->error = error;
            bin->message = "Cannot open the trash folder " + bin->dir;
        } else {
            RemoveStaleParts(bin->info.Fd());
        }
    }
    m_bins.push_back(std::move(bin));
    Bin *b = m_bins.back().get();
    if (b->error) {
        failure = Failure(b->error, b->message);
        return nullptr;
    }
    return b;
}

TrashOutcome TTrashSession::MoveAt(const TFolderHandle &folder, const std::string &name, const std::string &pathHint)
{
    if (!folder.IsOpen() || name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return Failure(EINVAL, "Cannot move " + pathHint);
    struct stat st, parentSt;
    if (const int error = folder.StatEntry(name, st))
        return Failure(error, "Cannot find " + pathHint);
    if (::fstat(folder.Fd(), &parentSt) != 0)
        return Failure(errno, "Cannot find " + pathHint);
    // The path that really holds the entry, so that its mount is found and
    // the trash records where it came from.
    const std::string parent = folder.CurrentPath();
    const std::string full = parent.empty() ? pathHint : (parent == "/" ? std::string() : parent) + '/' + name;

    // A volume's root cannot leave its volume; no trash folder is made on it
    // for the attempt.
    const std::string drive = DrivePart(full, m_mounts);
    if (drive == full || (S_ISDIR(st.st_mode) && st.st_dev != parentSt.st_dev))
        return Failure(EBUSY, "Cannot move " + full + ", a mount point");
    // Nor does a folder with a volume mounted anywhere inside it: the volume
    // would go to the trash with it, and be wiped when the trash is emptied.
    // The table is read now, not when the session began.
    if (S_ISDIR(st.st_mode))
        if (const std::vector<std::string> below = MountsBelow(full, ReadMountTable()); !below.empty())
            return Failure(EBUSY, "Cannot move " + full + ", a volume is mounted inside it at " + below.front());
    TrashOutcome failure;
    Bin *bin = BinFor(st.st_dev, drive, full, failure);
    if (!bin)
        return failure;
    const std::string original = bin->home ? full : full.substr(std::min(full.size(), bin->topdir.size() + 1));
    const std::string infoText = "[Trash Info]\nPath=" + PercentEncode(original)
        + "\nDeletionDate=" + LocalTimeNow() + '\n';

    // The info is written in full under a name no trash reader takes for
    // one (it does not end in .trashinfo), then renamed into place.
    const int infoDir = bin->info.Fd();
    const std::string part = ".quorvel-" + std::to_string(::getpid()) + '-' + std::to_string(++bin->partCounter) + ".part";
    const int fd = ::openat(infoDir, part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return Failure(errno, "Cannot write in " + bin->dir + "/info");
    bool written = WriteAll(fd, infoText);
    int error = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        ::unlinkat(infoDir, part.c_str(), 0);
        return Failure(error, "Cannot write in " + bin->dir + "/info");
    }

    static thread_local std::mt19937_64 rng {std::random_device {}()};
    constexpr unsigned kMaxAttempts = 64;
    for (unsigned attempt = 0; attempt < kMaxAttempts; ++attempt) {
        const auto known = bin->next.find(name);
        const std::uint64_t number = known == bin->next.end() ? 0 : known->second;
        const std::string trashName = TrashName(name, number);
        const std::string infoName = trashName + ".trashinfo";
        ++m_probes;
        // Renaming the info into place claims the name against anyone else
        // trashing at the same time.
        error = RenameNoReplaceAt(infoDir, part, infoDir, infoName);
        if (!error) {
            error = RenameNoReplaceAt(folder.Fd(), name, bin->files.Fd(), trashName);
            if (!error) {
                if (known != bin->next.end())
                    ++known->second;
                TrashOutcome ok;
                ok.ok = true;
                ok.trashedAs = bin->dir + "/files/" + trashName;
                ok.infoPath = bin->dir + "/info/" + infoName;
                ok.m_trashName = trashName;
                ok.m_infoName = infoName;
                for (std::size_t i = 0; i < m_bins.size(); ++i)
                    if (m_bins[i].get() == bin)
                        ok.m_bin = i;
                struct stat moved;
                if (::fstatat(bin->files.Fd(), trashName.c_str(), &moved, AT_SYMLINK_NOFOLLOW) == 0) {
                    ok.trashed = IdentityFromStat(moved);
                    ok.trashedIsFolder = S_ISDIR(moved.st_mode);
                }
                return ok;
            }
            // The info goes back to its part name either way; an entry of
            // that name without an info file is kept, and another name tried.
            if (::renameat(infoDir, infoName.c_str(), infoDir, part.c_str()) != 0)
                ::unlinkat(infoDir, infoName.c_str(), 0);
            if (error != EEXIST) {
                ::unlinkat(infoDir, part.c_str(), 0);
                return Failure(error, "Cannot move " + full + " to the trash " + bin->dir);
            }
        } else if (error != EEXIST) {
            ::unlinkat(infoDir, part.c_str(), 0);
            return Failure(error, "Cannot write in " + bin->dir + "/info");
        }
        // Taken: the next number, or a jump to a random one further on.
        std::uint64_t &n = bin->next[name];
        n = number == 0 ? 2 : number < kLastPlainNumber ? number + 1 : number + 1 + rng() % kNumberJump;
    }
    ::unlinkat(infoDir, part.c_str(), 0);
    return Failure(EEXIST, "No free name in the trash " + bin->dir + " for " + name);
}

int TTrashSession::PutBack(const TrashOutcome &moved, const TFolderHandle &folder, const std::string &name,
                           std::string &restoredAs)
{
    if (!moved.ok || moved.m_bin >= m_bins.size() || !folder.IsOpen())
        return EINVAL;
    Bin &bin = *m_bins[moved.m_bin];
    int error = EEXIST;
    for (unsigned n = 0; n < 16 && error == EEXIST; ++n) {
        restoredAs = n == 0 ? name : TrashName(name + ".restored", n - 1);
        error = RenameNoReplaceAt(bin.files.Fd(), moved.m_trashName, folder.Fd(), restoredAs);
    }
    if (!error)
        ::unlinkat(bin.info.Fd(), moved.m_infoName.c_str(), 0);
    return error;
}

std::string HomeTrashDir()
{
    const char *data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return ExcludeTrailingSlash(data) + "/Trash";
    return HomeFolder() + "/.local/share/Trash";
}

bool SplitLastName(const std::string &path, std::string &folder, std::string &name)
{
    const std::size_t slash = path.rfind('/');
    if (path.empty() || slash == std::string::npos || slash + 1 >= path.size())
        return false;
    name = path.substr(slash + 1);
    folder = slash == 0 ? std::string("/") : path.substr(0, slash);
    return name != "." && name != "..";
}

TrashOutcome MoveToTrash(const std::string &path)
{
    return MoveToTrash(path, ReadMountTable());
}

TrashOutcome MoveToTrash(const std::string &path, const std::vector<MountEntry> &mounts)
{
    // Without its trailing slash, "link/" names the link, not its folder.
    const std::string abs = ExcludeTrailingSlash(AbsolutePath(path));
    std::string folderPath, name;
    if (!SplitLastName(abs, folderPath, name))
        return Failure(EINVAL, "Cannot find " + path); // "/" itself, or no path at all
    TFolderHandle folder;
    if (const int error = folder.OpenPath(folderPath))
        return Failure(error, "Cannot find " + path);
    TTrashSession session(mounts);
    return session.MoveAt(folder, name, abs);
}
