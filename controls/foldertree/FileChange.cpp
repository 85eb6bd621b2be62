#include "controls/foldertree/FileChange.h"

#include "platform/DirectoryWatch.h"

#include <QCoreApplication>

#include <algorithm>
#include <vector>

namespace {

// Every watcher that has not deleted itself yet. Touched only on the window
// thread (construction and deferred deletion both happen there).
std::vector<TFileChangeThread *> &LiveWatchers()
{
    static std::vector<TFileChangeThread *> live;
    return live;
}

// When the application object goes, no watcher may still be running: each
// is told to stop and waited for (one slice at most).
void StopWatchersAtExit()
{
    for (TFileChangeThread *watcher : LiveWatchers()) {
        watcher->OnTerminate = nullptr;
        watcher->Terminate();
        watcher->wait();
    }
}

} // namespace

TFileChangeThread::TFileChangeThread(const std::string &path, TFSFilterSet filter, bool watchSubTree)
    : m_path(path), m_filter(filter), m_watchSubTree(watchSubTree)
{
    static const bool cleanupRegistered = [] {
        qAddPostRoutine(StopWatchersAtExit);
        return true;
    }();
    (void)cleanupRegistered;
    LiveWatchers().push_back(this);
    m_openError = m_watch.Open(m_path, FilterToAPIVal(), m_watchSubTree);
    connect(this, &QThread::finished, this, &QObject::deleteLater);
    start();
}

TFileChangeThread::~TFileChangeThread()
{
    auto &live = LiveWatchers();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

int TFileChangeThread::LiveCount()
{
    return static_cast<int>(LiveWatchers().size());
}

unsigned TFileChangeThread::FilterToAPIVal() const
{
    unsigned flags = 0;
    for (unsigned kind : {fsfFilename, fsfDirname, fsfAttributes, fsfSize, fsfLastWrite, fsfSecurity})
        if (m_filter & kind)
            flags |= kind;
    // The watch takes the same bit values.
    static_assert(unsigned(fsfFilename) == unsigned(dcFileName) && unsigned(fsfDirname) == unsigned(dcDirName) &&
                  unsigned(fsfAttributes) == unsigned(dcAttributes) && unsigned(fsfSize) == unsigned(dcSize) &&
                  unsigned(fsfLastWrite) == unsigned(dcLastWrite) && unsigned(fsfSecurity) == unsigned(dcSecurity));
    return flags;
}

void TFileChangeThread::run()
{
    if (m_openError != 0) {
        m_aborted = true;
        DoTerminate();
        return;
    }
    while (true) {
        const TWatchResult result = m_watch.Wait(10);
        if (m_stop.load()) {
            m_aborted = true;
            break;
        }
        if (result != wrTimeout)
            break; // a change, or a broken watch: both re-read the folder
    }
    m_watch.Close();
    DoTerminate();
}

void TFileChangeThread::DoTerminate()
{
    if (m_aborted.load())
        return;
    // Runs on the window thread, before the deferred deletion that the end
    // of the thread posts after it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (OnTerminate)
                OnTerminate(this);
        },
        Qt::QueuedConnection);
}
