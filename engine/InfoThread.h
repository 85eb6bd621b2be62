// One verify run: walk the Source, compare every gathered file with the
// Target file of the same relative path, delete the matches of one side when
// the user confirms, and log it all. Runs on a thread of its own (start()) or
// on the caller's thread (Execute()).
#pragma once

#include "VerifyTypes.h"

#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "FileReader.h"

class IVerifyWindow;
class TBlockPairReader;

// A matching file that the run may delete, and the copy on the other side
// that proved it, each with the identity it had when the two were compared.
// It is deleted only while both still have them.
struct TDeleteCandidate {
    std::string path;
    TFileIdentity compared;
    std::string keptPath;
    TFileIdentity keptCompared;
};

class TInfoThread : public QThread
{
    Q_OBJECT
public:
    // The window must outlive the worker.
    explicit TInfoThread(IVerifyWindow *window, QObject *parent = nullptr);
    ~TInfoThread() override;

    // The run itself; returns when it is over, whatever the reason.
    void Execute();

    // Asks the run to stop at its next polling point. Safe from any thread
    // and from a signal handler.
    void Terminate() { m_stop.store(true); }
    bool StopRequested() const { return m_stop.load(); }

    // Holds the worker at its next polling point until Continue().
    void Pause();
    void Continue();

    // The worker's polling point: waits while paused, then tells whether a
    // stop was requested.
    bool Poll();

    // A run-log line: stamped with the time of day, then handed to the window.
    void Log(const std::string &message);

    // Problems met on the way that did not end the run (a folder that could
    // not be listed, a file that could not be read, a failed deletion).
    int Troubles() const { return m_troubles; }
    void NoteTrouble() { ++m_troubles; }

    IVerifyWindow &Window() const { return *m_window; }

    VerifyRequest request;
    VerifyCounters counters;
    std::vector<std::string> maskList;
    std::vector<std::string> fileList;
    std::vector<std::string> folderList;
    std::vector<TDeleteCandidate> deleteList;

    // Runs between the last check of a file and its move to the trash (or
    // its unlinking), with the file's path: lets a test change the world at
    // the worst moment.
    std::function<void(const std::string &path)> beforeDeleting;

    // The block buffers of the comparison and their reader, made with the
    // first pair that is read.
    std::unique_ptr<TBlockPairReader> blocks;
    // The file systems already named in the log as holding their files in
    // memory (a read "from disk" cannot be one there).
    std::set<std::uint64_t> memoryDevicesLogged;

protected:
    void run() override;

private:
    IVerifyWindow *m_window;
    std::atomic<bool> m_stop {false};
    std::atomic<bool> m_paused {false};
    int m_troubles = 0;
    QElapsedTimer m_clock;
};

// "#,0": whole number with the locale's thousands separators.
std::string FormatCount(double value);
// The time of day as "hh:mm:ss".
std::string TimeStamp();
// An elapsed time as "hh:mm:ss:zzz".
std::string FormatElapsed(qint64 milliseconds);
