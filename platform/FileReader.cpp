#include "platform/FileReader.h"

#include "platform/FolderHandle.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

TFileReader::~TFileReader()
{
    Close();
}

namespace {

// The type of the file system of `fd` (on `device`), 0 when it cannot be
// told. Asked once per device and thread: a device is one file system while
// it is mounted, and reader threads live for one run.
unsigned long FileSystemType(int fd, dev_t device)
{
    thread_local std::vector<std::pair<dev_t, unsigned long>> known;
    for (const auto &[d, type] : known)
        if (d == device)
            return type;
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0)
        return 0;
    if (known.size() < 64)
        known.emplace_back(device, static_cast<unsigned long>(fs.f_type));
    return static_cast<unsigned long>(fs.f_type);
}

// File systems that keep their files in memory: there is no disk to read.
bool KeptInMemory(unsigned long type)
{
    return type == TMPFS_MAGIC || type == RAMFS_MAGIC;
}

// Whether a file system gives sizes that are those of the contents, always:
// the local disk file systems and memory's.
bool SizesExact(unsigned long type)
{
    switch (type) {
    case EXT4_SUPER_MAGIC: // also ext2 and ext3
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case MSDOS_SUPER_MAGIC:
    case EXFAT_SUPER_MAGIC:
        return true;
    default:
        return KeptInMemory(type);
    }
}

// Writes back what is dirty and drops what is cached of the file, so that
// the next reads go to the device; 0 or the errno of the failure. A file
// system that cannot sync a file (EINVAL, EROFS) has nothing dirty to give;
// any other failure (an I/O error, a full disk) means that what is cached
// may never reach the disk, so bytes read now would prove nothing of it.
int ReadFromDeviceNext(int fd)
{
    if (::fdatasync(fd) != 0 && errno != EINVAL && errno != EROFS)
        return errno;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    return 0;
}

} // namespace

void TFileReader::Reset()
{
    Close();
    m_error = 0;
    m_position = 0;
    m_identity = TFileIdentity();
    m_direct = m_dropPages = m_fromMemory = m_sizesExact = false;
    m_closedAfterRead = m_unchangedAtClose = false;
    m_closeError = 0;
}

int TFileReader::Open(const std::string &path, bool fromDisk)
{
    return OpenWithFlags([&path](int flags) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | flags); },
                         fromDisk);
}

int TFileReader::OpenAt(int folderFd, const char *name, bool fromDisk)
{
    return OpenWithFlags([=](int flags) { return ::openat(folderFd, name, O_RDONLY | O_CLOEXEC | flags); },
                         fromDisk);
}

int TFileReader::OpenBelow(const TFolderHandle &base, const std::string &relative, bool fromDisk)
{
    return OpenWithFlags(
        [&](int flags) {
            int fd = -1;
            if (const int error = base.OpenFileBelow(relative, flags, fd))
                errno = error;
            return fd;
        },
        fromDisk);
}

int TFileReader::OpenFlags()
{
    // O_NONBLOCK: should a FIFO have taken the file's place since it was
    // looked at, open() must not wait for a writer (regular files ignore it).
    return O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
}

int TFileReader::Adopt(int opened)
{
    return OpenWithFlags(
        [opened](int) {
            if (opened >= 0)
                return opened;
            errno = -opened;
            return -1;
        },
        false);
}

// `open(flags)` opens the file with the given flags added to O_RDONLY |
// O_CLOEXEC; a descriptor or -1 with errno.
template <typename OpenWith>
int TFileReader::OpenWithFlags(OpenWith open, bool fromDisk)
{
    Reset();
    // The flags of every open, also of those made elsewhere (Adopt()).
    const int kFlags = OpenFlags();
    if (fromDisk) {
        m_fd = open(kFlags | O_DIRECT);
        m_direct = m_fd >= 0;
        // EINVAL: the file system does not do direct reads.
        if (m_fd < 0 && errno != EINVAL)
            return m_error = errno;
    }
    if (m_fd < 0)
        m_fd = open(kFlags);
    if (m_fd < 0)
        return m_error = errno;
    struct stat st {};
    const int error = ::fstat(m_fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EINVAL;
    if (error) {
        Close();
        return m_error = error;
    }
    m_identity = IdentityFromStat(st);
    m_position = 0;
    const unsigned long fileSystem = FileSystemType(m_fd, st.st_dev);
    m_sizesExact = SizesExact(fileSystem);
    if (fromDisk) {
        m_dropPages = true;
        // A memory file system takes O_DIRECT as a formality; its files
        // never were anywhere else.
        m_fromMemory = KeptInMemory(fileSystem);
        if (!m_direct && !m_fromMemory) {
            if (const int synced = ReadFromDeviceNext(m_fd)) {
                Close();
                m_identity = TFileIdentity();
                return m_error = synced;
            }
        }
    }
    // Read-ahead advice only pays for files of more than a block or two.
    if (!m_direct && m_identity.size > (4u << 20))
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return 0;
}

int TFileReader::ReadOnce(char *buf, std::size_t size, ssize_t &n)
{
    for (;;) {
        n = ::read(m_fd, buf, size);
        if (n >= 0)
            return 0;
        if (errno == EINTR)
            continue;
        // A direct read needs an aligned buffer, offset and size; a file that
        // grew since it was opened, a short read or a buffer of the caller's
        // breaks that. The rest is read through the cache, emptied first.
        if (errno == EINVAL && m_direct) {
            const int flags = ::fcntl(m_fd, F_GETFL);
            if (flags >= 0 && ::fcntl(m_fd, F_SETFL, flags & ~O_DIRECT) == 0) {
                m_direct = false;
                if (const int synced = ReadFromDeviceNext(m_fd))
                    return synced;
                continue;
            }
        }
        return errno;
    }
}

bool TFileReader::Unchanged() const
{
    if (m_closedAfterRead)
        return m_unchangedAtClose;
    struct stat st {};
    return m_fd >= 0 && ::fstat(m_fd, &st) == 0 && IdentityFromStat(st) == m_identity;
}

std::int64_t TFileReader::Read(char *buf, std::size_t size)
{
    return ReadFrom(buf, size, nullptr);
}

std::int64_t TFileReader::ReadAfter(char *buf, std::size_t size, std::int64_t first)
{
    return ReadFrom(buf, size, &first);
}

std::int64_t TFileReader::ReadFrom(char *buf, std::size_t size, const std::int64_t *first)
{
    if (m_fd < 0) {
        m_error = EBADF;
        return -1;
    }
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = 0;
        // A read made elsewhere that would have had to wait (the file is
        // opened non-blocking) is made again here, where it may.
        if (first && *first != -EAGAIN && *first != -EINTR) {
            if (*first < 0) {
                m_error = int(-*first);
                return -1;
            }
            n = ssize_t(*first);
        } else if (const int error = ReadOnce(buf + done, size - done, n)) {
            m_error = error;
            return -1;
        }
        first = nullptr;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
        m_position += static_cast<std::uint64_t>(n);
        // At the size the file had when opened, the next read (of the next
        // call) tells whether it ends there; not asking twice saves a system
        // call per small file.
        if (m_position == m_identity.size)
            break;
    }
    return static_cast<std::int64_t>(done);
}

void TFileReader::CloseAfterLastRead()
{
    if (m_fd < 0 || m_closedAfterRead)
        return;
    m_unchangedAtClose = Unchanged();
    m_closeError = Close();
    m_closedAfterRead = true;
}

int TFileReader::DetachAfterLastRead()
{
    if (m_fd < 0 || m_closedAfterRead)
        return -1;
    m_unchangedAtClose = Unchanged();
    if (m_dropPages)
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_DONTNEED);
    const int fd = std::exchange(m_fd, -1);
    m_closeError = 0;
    m_closedAfterRead = true;
    return fd;
}

void TFileReader::ClosedElsewhere(int result)
{
    if (result < 0 && result != -EINTR)
        m_closeError = m_error = -result;
}

int TFileReader::Close()
{
    if (m_fd < 0) {
        // What closing after the last read found, told once.
        const int error = m_closeError;
        m_closeError = 0;
        return error;
    }
    if (m_dropPages)
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_DONTNEED);
    const int rc = ::close(m_fd);
    m_fd = -1;
    if (rc != 0 && errno != EINTR)
        return m_error = errno;
    return 0;
}

std::string ErrorText(int error)
{
    char buf[256];
    // GNU strerror_r returns the text, possibly not in buf.
    return ::strerror_r(error, buf, sizeof buf);
}
