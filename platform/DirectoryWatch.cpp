#include "platform/DirectoryWatch.h"

#include "platform/DirReader.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr unsigned NameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr unsigned SelfEvents = IN_DELETE_SELF | IN_MOVE_SELF;

} // namespace

unsigned InotifyMaskFor(unsigned kinds)
{
    unsigned mask = SelfEvents;
    if (kinds & (dcFileName | dcDirName))
        mask |= NameEvents;
    if (kinds & (dcAttributes | dcSecurity))
        mask |= IN_ATTRIB;
    if (kinds & (dcSize | dcLastWrite))
        mask |= IN_MODIFY | IN_CLOSE_WRITE;
    return mask;
}

TDirectoryWatch::~TDirectoryWatch()
{
    Close();
}

int TDirectoryWatch::Open(const std::string &folder, unsigned kinds, bool subTree)
{
    Close();
    m_kinds = kinds;
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        return errno ? errno : EIO;
    const unsigned mask = InotifyMaskFor(kinds) | IN_ONLYDIR;
    if (::inotify_add_watch(m_fd, folder.c_str(), mask) < 0) {
        const int error = errno ? errno : EIO;
        Close();
        return error;
    }
    if (subTree) {
        // The folders below as they are now, links not followed. A folder
        // that cannot be watched is left out; the rest still reports.
        std::vector<std::string> pending{folder};
        while (!pending.empty()) {
            const std::string current = pending.back();
            pending.pop_back();
            TDirReader reader(current);
            TDirEntry entry;
            while (reader.Next(entry, false)) {
                if (entry.kind != TEntryKind::Directory || entry.isLink || entry.name == "." || entry.name == "..")
                    continue;
                const std::string child = (current.size() > 1 && current.back() == '/' ? current : current + "/") + entry.name;
                if (::inotify_add_watch(m_fd, child.c_str(), mask) >= 0)
                    pending.push_back(child);
            }
        }
    }
    return 0;
}

bool TDirectoryWatch::Relevant(unsigned eventMask) const
{
    if (eventMask & (SelfEvents | IN_UNMOUNT | IN_IGNORED | IN_Q_OVERFLOW))
        return true; // the folder itself went, or events were lost
    if (eventMask & NameEvents)
        return (eventMask & IN_ISDIR) ? (m_kinds & dcDirName) : (m_kinds & dcFileName);
    if (eventMask & IN_ATTRIB)
        return m_kinds & (dcAttributes | dcSecurity);
    if (eventMask & (IN_MODIFY | IN_CLOSE_WRITE))
        return m_kinds & (dcSize | dcLastWrite);
    return false;
}

TWatchResult TDirectoryWatch::Wait(int timeoutMs)
{
    if (m_fd < 0)
        return wrFailed;
    pollfd pfd{m_fd, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, timeoutMs);
    if (ready == 0 || (ready < 0 && errno == EINTR))
        return wrTimeout;
    if (ready < 0 || (pfd.revents & (POLLERR | POLLNVAL)))
        return wrFailed;

    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    bool changed = false;
    while (true) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN)
                break;
            return wrFailed;
        }
        if (got == 0)
            break;
        for (ssize_t at = 0; at < got;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            if (Relevant(event.mask))
                changed = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
        }
    }
    return changed ? wrChanged : wrTimeout;
}

void TDirectoryWatch::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
