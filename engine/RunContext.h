// What the walk, the comparison and the deletion of a run are handed: the
// run's state, its window, its polling point (stop and pause) and its log.
// The worker thread owns one; a test can make one on its own thread.
#pragma once

#include "engine/RunState.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

class IVerifyWindow;

class TRunContext
{
public:
    // Both must outlive the context.
    TRunContext(TRunState &state, IVerifyWindow &window) : state(state), m_window(&window) {}
    TRunContext(const TRunContext &) = delete;
    TRunContext &operator=(const TRunContext &) = delete;

    // Asks the run to stop at its next polling point. Safe from any thread
    // and from a signal handler.
    void Terminate() { m_stop.store(true); }
    bool StopRequested() const { return m_stop.load(); }
    // The flag itself, for a wait that gives up when it is set.
    const std::atomic<bool> &StopFlag() const { return m_stop; }

    // Holds the run at its next polling point until Continue().
    void Pause() { m_paused.store(true); }
    void Continue();

    // The polling point: waits while paused, then tells whether a stop was
    // requested.
    bool Poll();

    // A run-log line of the given kind: stamped with the time of day, then
    // handed to the window.
    void Log(const std::string &message, TLogKind kind = TLogKind::Event);

    void NoteTrouble() { ++state.troubles; }

    IVerifyWindow &Window() const { return *m_window; }

    TRunState &state;

    // Runs between the last check of a file and its move to the trash (or
    // its unlinking), with the file's path: lets a test change the world at
    // the worst moment.
    std::function<void(const std::string &path)> beforeDeleting;
    // Runs on the run's thread when a pause holds it at its polling point,
    // right before it waits.
    std::function<void()> onHeld;
    // Runs before each emptied folder is tried for removal, with its path
    // relative to the side root ("" for the root itself).
    std::function<void(const std::string &relative)> beforeRemovingFolder;
    // Runs after each pair of a folder run is done with, with the count of
    // pairs done so far.
    std::function<void(std::size_t pairsDone)> afterPair;
    // Runs on a reader thread once the pair with this index in the
    // gathered list has been opened and read ahead, before the comparison
    // may take it; `quitting` is set once the run no longer waits for it.
    // Lets a test make reads end out of order, or hold one up.
    std::function<void(std::size_t index, const std::atomic<bool> &quitting)> afterPairRead;
    // Runs on the run's thread when the pair it is to compare next is not
    // read yet, right before it waits for it.
    std::function<void(std::size_t index)> waitingForPair;

private:
    IVerifyWindow *m_window;
    std::atomic<bool> m_stop {false};
    std::atomic<bool> m_paused {false};
};
