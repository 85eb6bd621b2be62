#include "platform/FolderHandle.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <random>
#include <cstdint>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_useOpenat2 {true};

// O_PATH: the handle is only ever a starting point for *at() calls, so the
// folder need not be readable, only reachable.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// openat2() with `flags` and `resolve`; a descriptor, or -1 with errno.
int Openat2(int base, const std::string &relative, std::uint64_t flags, std::uint64_t resolve)
{
    open_how how {};
    how.flags = flags;
    how.resolve = resolve;
    for (;;) {
        const long fd = ::syscall(SYS_openat2, base, relative.c_str(), &how, sizeof how);
        if (fd >= 0)
            return int(fd);
        // EAGAIN: a rename elsewhere raced the lookup; the kernel asks to try
        // again.
        if (errno != EINTR && errno != EAGAIN)
            return -1;
    }
}

int OpenBelowWithOpenat2(int base, const std::string &relative)
{
    return Openat2(base, relative, kFolderFlags, RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS);
}

int OpenBelowByName(int base, const std::string &relative)
{
    int cur = ::fcntl(base, F_DUPFD_CLOEXEC, 0);
    std::size_t i = 0;
    while (cur >= 0 && i < relative.size()) {
        std::size_t end = relative.find('/', i);
        if (end == std::string::npos)
            end = relative.size();
        const std::string name = relative.substr(i, end - i);
        i = end + 1;
        if (name.empty() || name == ".")
            continue;
        int next = -1;
        if (name == "..")
            errno = EXDEV;
        else
            next = ::openat(cur, name.c_str(), kFolderFlags | O_NOFOLLOW);
        const int error = errno;
        ::close(cur);
        cur = next;
        errno = error;
    }
    return cur;
}

int OpenFileBeneathWithOpenat2(int base, const std::string &relative, int flags)
{
    // Links are followed as long as they stay beneath: a tree may hold a
    // link to one of its own files.
    return Openat2(base, relative, std::uint64_t(O_RDONLY | O_CLOEXEC | flags),
                   RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS);
}

} // namespace

int RenameNoReplaceAt(int fromDir, const std::string &from, int toDir, const std::string &to)
{
    if (::renameat2(fromDir, from.c_str(), toDir, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    struct stat st;
    if (::fstatat(toDir, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    return ::renameat(fromDir, from.c_str(), toDir, to.c_str()) == 0 ? 0 : errno;
}

void SetBelowLookupWithOpenat2(bool use)
{
    g_useOpenat2.store(use);
}

TFolderHandle::~TFolderHandle()
{
    Close();
}

TFolderHandle::TFolderHandle(TFolderHandle &&other) noexcept : m_fd(other.m_fd)
{
    other.m_fd = -1;
}

TFolderHandle &TFolderHandle::operator=(TFolderHandle &&other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

void TFolderHandle::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

int TFolderHandle::OpenPath(const std::string &path)
{
    Close();
    m_fd = ::open(path.empty() ? "." : path.c_str(), kFolderFlags);
    return m_fd >= 0 ? 0 : errno;
}

int TFolderHandle::OpenBelow(const TFolderHandle &base, const std::string &relative)
{
    Close();
    if (!base.IsOpen())
        return EBADF;
    int fd = -1;
    if (g_useOpenat2.load()) {
        fd = OpenBelowWithOpenat2(base.Fd(), relative.empty() ? "." : relative);
        // Without openat2 (an older kernel, a sandbox that filters it), the
        // same rules name by name.
        if (fd < 0 && (errno == ENOSYS || errno == EPERM))
            fd = OpenBelowByName(base.Fd(), relative);
    } else {
        fd = OpenBelowByName(base.Fd(), relative);
    }
    if (fd < 0)
        return errno;
    // O_DIRECTORY already refuses anything else; this keeps the promise
    // should a file system answer oddly.
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode)) {
        ::close(fd);
        return ENOTDIR;
    }
    m_fd = fd;
    return 0;
}

int TFolderHandle::OpenFileBelow(const std::string &relative, int flags, int &fd) const
{
    fd = -1;
    if (!IsOpen())
        return EBADF;
    if (relative.empty() || relative[0] == '/')
        return EXDEV;
    if (g_useOpenat2.load()) {
        fd = OpenFileBeneathWithOpenat2(m_fd, relative, flags);
        if (fd >= 0)
            return 0;
        if (errno != ENOSYS && errno != EPERM)
            return errno;
    }
    const std::size_t slash = relative.rfind('/');
    const std::string name = slash == std::string::npos ? relative : relative.substr(slash + 1);
    if (name.empty() || name == "." || name == "..")
        return name == ".." ? EXDEV : EISDIR;
    TFolderHandle parent;
    if (const int error = parent.OpenBelow(*this, slash == std::string::npos ? std::string() : relative.substr(0, slash)))
        return error;
    fd = ::openat(parent.Fd(), name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | flags);
    return fd >= 0 ? 0 : errno;
}

int TFolderHandle::StatEntry(const std::string &name, struct stat &st, bool followLink) const
{
    if (::fstatat(m_fd, name.c_str(), &st, followLink ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    return 0;
}

int TFolderHandle::RemoveEmptyFolder(const std::string &name) const
{
    return ::unlinkat(m_fd, name.c_str(), AT_REMOVEDIR) == 0 ? 0 : errno;
}

int TFolderHandle::RemoveFile(const std::string &name, struct stat *after) const
{
    // Held by a descriptor of its own, the file can still be asked about
    // once its name is gone.
    const int held = after ? ::openat(m_fd, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC) : -1;
    // unlinkat() without AT_REMOVEDIR never removes a folder (EISDIR).
    const int error = ::unlinkat(m_fd, name.c_str(), 0) == 0 ? 0 : errno;
    if (held >= 0) {
        if (!error && ::fstat(held, after) != 0)
            *after = {};
        ::close(held);
    }
    return error;
}

bool TFolderHandle::SameEntryUnwritten(const struct stat &now, const void *checked)
{
    const struct stat &was = *static_cast<const struct stat *>(checked);
    return now.st_dev == was.st_dev && now.st_ino == was.st_ino && now.st_size == was.st_size
        && now.st_mtim.tv_sec == was.st_mtim.tv_sec && now.st_mtim.tv_nsec == was.st_mtim.tv_nsec;
}

int TFolderHandle::RemoveProvenFile(const std::string &name, bool (*proven)(const struct stat &, const void *),
                                    const void *context, struct stat *after) const
{
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return EINVAL;
    static thread_local std::mt19937_64 rng {std::random_device {}()};
    std::string hidden;
    int error = EEXIST;
    for (int attempt = 0; attempt < 8 && error == EEXIST; ++attempt) {
        char buf[40];
        std::snprintf(buf, sizeof buf, ".quorvel-deleting-%016llx", static_cast<unsigned long long>(rng()));
        hidden = buf;
        error = RenameNoReplaceAt(m_fd, name, m_fd, hidden);
    }
    if (error)
        return error; // no private name to be had: nothing is unlinked
    struct stat st;
    if (::fstatat(m_fd, hidden.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode)
        || !proven(st, context)) {
        // When the name was taken again meanwhile, the file keeps its private
        // name beside it, whole.
        RenameNoReplaceAt(m_fd, hidden, m_fd, name);
        return ESTALE;
    }
    return RemoveFile(hidden, after);
}

std::string TFolderHandle::CurrentPath() const
{
    struct stat st;
    // A folder removed while held has no links left and is nowhere.
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || st.st_nlink == 0)
        return {};
    const std::string link = "/proc/self/fd/" + std::to_string(m_fd);
    char buf[PATH_MAX + 1];
    const ssize_t n = ::readlink(link.c_str(), buf, PATH_MAX);
    if (n <= 0)
        return {};
    std::string path(buf, std::size_t(n));
    // Outside our namespace's view (another mount namespace's folder) the
    // kernel gives no usable path.
    if (path[0] != '/')
        return {};
    return path;
}
