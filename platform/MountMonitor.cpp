#include "platform/MountMonitor.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

TMountMonitor *TMountMonitor::Instance()
{
    // Owned by the application, so that its notifier goes before the event
    // dispatcher does; a later call (after the application) makes a new one.
    static QPointer<TMountMonitor> instance;
    if (!instance)
        instance = new TMountMonitor(QCoreApplication::instance());
    return instance;
}

TMountMonitor::TMountMonitor(QObject *parent)
    : QObject(parent)
{
    m_fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return; // no /proc: the monitor stays silent
    // The kernel compares the table's change counter with the one it noted
    // when the file was opened (or last polled); a difference raises POLLPRI.
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Exception, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TMountMonitor::OnActivated);
}

TMountMonitor::~TMountMonitor()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

void TMountMonitor::OnActivated()
{
    // Reading the table through the same file takes note of the new state,
    // so only the next change raises the event again.
    char buf[4096];
    if (::lseek(m_fd, 0, SEEK_SET) == 0) {
        for (;;) {
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
        }
    }
    emit MountsChanged();
}
