// TFileChangeThread: a one-shot watcher of one folder. The watch is set up
// before the constructor returns, so no change made after it is missed; the
// thread starts at once,
// waits for the first change of the requested kinds in 10 ms slices, reports
// it once on the window thread by calling OnTerminate, and deletes itself.
// A stop request ends it within one slice without a report. The creator may
// clear OnTerminate at any time on the window thread: a report already on its
// way is then dropped.
#pragma once

#include "platform/DirectoryWatch.h"

#include <QThread>

#include <atomic>
#include <functional>
#include <string>

enum TFSFilter {
    fsfFilename = 0x001,
    fsfDirname = 0x002,
    fsfAttributes = 0x004,
    fsfSize = 0x008,
    fsfLastWrite = 0x010,
    fsfSecurity = 0x100,
};
// A set of TFSFilter bits.
using TFSFilterSet = unsigned;

class TFileChangeThread : public QThread
{
    Q_OBJECT
public:
    TFileChangeThread(const std::string &path, TFSFilterSet filter, bool watchSubTree);

    // The change kinds as the platform's watch takes them.
    unsigned FilterToAPIVal() const;
    // Asks the watcher to end without a report; returns at once.
    void Terminate() { m_stop.store(true); }
    bool Terminated() const { return m_stop.load(); }
    // Set when the watcher ended without a change to report.
    bool Aborted() const { return m_aborted.load(); }
    const std::string &Path() const { return m_path; }
    bool WatchSubTree() const { return m_watchSubTree; }
    TFSFilterSet Filter() const { return m_filter; }

    // Called on the window thread when a change was seen.
    std::function<void(TFileChangeThread *sender)> OnTerminate;

    // Watchers that have not yet deleted themselves.
    static int LiveCount();

protected:
    void run() override;

private:
    ~TFileChangeThread() override;
    void DoTerminate();

    const std::string m_path;
    const TFSFilterSet m_filter;
    const bool m_watchSubTree;
    TDirectoryWatch m_watch; // used by the thread only, once started
    int m_openError = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_aborted{false};
};
