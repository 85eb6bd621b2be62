// SIGINT, SIGTERM and SIGHUP as a request to stop: what Ctrl+C, a service
// manager or a closed terminal mean for a run is "cancel", not "die with
// half a file moved".
#pragma once

#include <QObject>

// Makes each of the three signals call `onSignal` with its number, from the
// signal handler: it may only do what is safe there, such as storing to an
// atomic flag. A system call the signal interrupts is not restarted, so a
// question waiting on the terminal returns at once. The signals are
// unblocked for the calling thread (and the threads it starts later), so a
// stop that a parent's mask held back arrives now, as a call of `onSignal`.
void CatchStopSignals(void (*onSignal)(int));

// For a program with an event loop: turns the three signals into the Qt
// signal stopRequested(), delivered on the thread that made the object.
// One at a time in a process; the signals return to their default when it
// is destroyed.
class TStopSignalNotifier : public QObject
{
    Q_OBJECT
public:
    explicit TStopSignalNotifier(QObject *parent = nullptr);
    ~TStopSignalNotifier() override;

    bool IsActive() const { return m_readFd >= 0; }

signals:
    void stopRequested(int signalNumber);

private:
    void Drain();

    int m_readFd = -1;
};
