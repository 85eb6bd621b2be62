#include "FileReader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TFileReader::~TFileReader()
{
    Close();
}

int TFileReader::Open(const std::string &path)
{
    Close();
    m_error = 0;
    // O_NONBLOCK: should a FIFO have taken the file's place since it was
    // looked at, open() must not wait for a writer (regular files ignore it).
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
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
    // Read-ahead advice only pays for files of more than a block or two.
    if (m_identity.size > (4u << 20))
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return 0;
}

bool TFileReader::Unchanged() const
{
    struct stat st {};
    return m_fd >= 0 && ::fstat(m_fd, &st) == 0 && IdentityFromStat(st) == m_identity;
}

std::int64_t TFileReader::Read(char *buf, std::size_t size)
{
    if (m_fd < 0) {
        m_error = EBADF;
        return -1;
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(m_fd, buf + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_error = errno;
            return -1;
        }
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

int TFileReader::Close()
{
    if (m_fd < 0)
        return 0;
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
