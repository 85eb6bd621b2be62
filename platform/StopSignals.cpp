#include "platform/StopSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The write end of the notifier's pipe; -1 when there is none.
volatile sig_atomic_t g_pipeWrite = -1;

void Install(void (*handler)(int))
{
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no SA_RESTART
    sigset_t stops;
    sigemptyset(&stops);
    for (int s : kStopSignals) {
        ::sigaction(s, &sa, nullptr);
        sigaddset(&stops, s);
    }
    // A parent may hand the signals down blocked: a stop that arrived before
    // this point (pending since) is taken now, and later ones are not lost.
    ::pthread_sigmask(SIG_UNBLOCK, &stops, nullptr);
}

extern "C" void WriteToPipe(int signalNumber)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    if (g_pipeWrite >= 0) {
        // A full pipe already holds a wake-up; nothing is lost.
        [[maybe_unused]] const ssize_t n = ::write(g_pipeWrite, &byte, 1);
    }
    errno = saved;
}

} // namespace

void CatchStopSignals(void (*onSignal)(int))
{
    Install(onSignal);
}

TStopSignalNotifier::TStopSignalNotifier(QObject *parent) : QObject(parent)
{
    int fds[2];
    if (g_pipeWrite >= 0 || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_readFd = fds[0];
    g_pipeWrite = fds[1];
    auto *notifier = new QSocketNotifier(m_readFd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TStopSignalNotifier::Drain);
    Install(WriteToPipe);
}

TStopSignalNotifier::~TStopSignalNotifier()
{
    if (m_readFd < 0)
        return;
    Install(SIG_DFL);
    const int writeFd = g_pipeWrite;
    g_pipeWrite = -1;
    ::close(writeFd);
    ::close(m_readFd);
}

void TStopSignalNotifier::Drain()
{
    unsigned char bytes[64];
    ssize_t n;
    while ((n = ::read(m_readFd, bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < n; ++i)
            emit stopRequested(int(bytes[i]));
    }
}
