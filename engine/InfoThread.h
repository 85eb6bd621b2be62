// One verify run: walk the Source, compare every gathered file with the
// Target file of the same relative path, delete the matches of one side when
// the user confirms, and log it all. Runs on a thread of its own (start()) or
// on the caller's thread (Execute()).
#pragma once

#include "engine/RunContext.h"
#include "engine/RunState.h"

#include <QThread>

class QElapsedTimer;

class IVerifyWindow;

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
    void Terminate() { m_context.Terminate(); }
    bool StopRequested() const { return m_context.StopRequested(); }

    // Holds the worker at its next polling point until Continue().
    void Pause() { m_context.Pause(); }
    void Continue() { m_context.Continue(); }
    // The run's polling point (see TRunContext::Poll()).
    bool Poll() { return m_context.Poll(); }

    int Troubles() const { return state.troubles; }

    // What the walk, the comparison and the deletion are handed.
    TRunContext &Context() { return m_context; }

    TRunState state;

protected:
    void run() override;

private:
    // The verify proper; false when it ended before the comparison (the
    // walk failed or was stopped, the checksums could not be recorded): no
    // summary then.
    bool Verify();
    void LogSummary(const QElapsedTimer &clock);

    TRunContext m_context;
};
