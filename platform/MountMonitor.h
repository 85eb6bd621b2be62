// Reports every mount and unmount on this machine. /proc/self/mountinfo is
// opened once and polled for POLLPRI, which the kernel raises on every change
// of the mount table. Lives on the window thread.
#pragma once

#include <QObject>

class QSocketNotifier;

class TMountMonitor : public QObject
{
    Q_OBJECT
public:
    // The one monitor of the process, created on first use.
    static TMountMonitor *Instance();

signals:
    // Emitted once per change of the mount table, on the window thread.
    void MountsChanged();

private:
    explicit TMountMonitor(QObject *parent = nullptr);
    ~TMountMonitor() override;
    void OnActivated();

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
};
