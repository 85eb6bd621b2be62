#include "platform/TerminalIo.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

bool WriteAll(int fd, std::string_view text, int &error)
{
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return false;
        }
        text.remove_prefix(std::size_t(n));
    }
    return true;
}

bool IsTerminal(int fd)
{
    return ::isatty(fd) == 1;
}

int TerminalColumns(int fd)
{
    struct winsize size {};
    if (::ioctl(fd, TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}

int OpenControllingTerminal()
{
    return ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
}

void CloseDescriptor(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

bool ReadLine(int fd, std::string &line)
{
    line.clear();
    for (;;) {
        char c;
        const ssize_t n = ::read(fd, &c, 1);
        if (n <= 0)
            return false;
        if (c == '\n')
            return true;
        line += c;
    }
}

bool OpenClosedStandardStreams()
{
    // In order: open() takes the lowest free descriptor, so a closed 0
    // comes back as 0 before 1 is looked at.
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened != fd) {
            if (opened >= 0)
                ::close(opened);
            return false;
        }
    }
    return true;
}

void IgnoreBrokenPipe()
{
    std::signal(SIGPIPE, SIG_IGN);
}
