#include "platform/OutputFile.h"

#include "platform/FileReader.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TOutputFile OpenOutputFile(const std::string &path)
{
    TOutputFile out;
    // O_NONBLOCK for the open only: a FIFO without a reader fails with ENXIO
    // instead of hanging, a serial line does not wait for its carrier.
    // O_TRUNC empties regular files only; O_NOCTTY keeps a terminal named
    // here from becoming ours.
    out.fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (out.fd < 0) {
        out.error = errno;
        struct stat st {};
        out.reason = ErrorText(out.error);
        if (out.error == ENXIO && ::stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode))
            out.reason = "no process reads from this FIFO (" + out.reason + ")";
        return out;
    }
    const int flags = ::fcntl(out.fd, F_GETFL);
    if (flags < 0 || ::fcntl(out.fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        out.error = errno;
        out.reason = ErrorText(out.error);
        ::close(out.fd);
        out.fd = -1;
    }
    return out;
}

int CloseOutputFile(int fd)
{
    if (fd < 0)
        return 0;
    // Linux releases the descriptor even when close() fails; EINTR is no
    // failure of the data.
    if (::close(fd) != 0 && errno != EINTR)
        return errno;
    return 0;
}
