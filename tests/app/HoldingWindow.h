// The main window's tests hold a run's worker at a known place.
#pragma once

#include "tests/engine/ForwardingWindow.h"

#include "app/QvlMainRun.h"

#include "engine/InfoThread.h"

#include <atomic>

// Forwards every call of the worker to the main window, and holds the
// worker (from its own thread, so at a known place): after the counts of a
// chosen number of pairs, at the top of the comparison loop, or at the first
// total of the walk.
class THoldingWindow : public TForwardingWindow
{
public:
    explicit THoldingWindow(TRunControl &rc) : TForwardingWindow(rc.Bridge()), m_rc(rc) {}

    int holdAfterCount = 0; // 0: never
    bool holdInWalk = false;
    std::atomic<bool> held {false};

    void ShowTotals(std::int32_t d, std::int32_t f, double b) override
    {
        TForwardingWindow::ShowTotals(d, f, b);
        if (holdInWalk)
            Hold();
    }
    void ShowCounts(std::int32_t s, std::int32_t d, std::int32_t m, std::int32_t c, std::int32_t f) override
    {
        TForwardingWindow::ShowCounts(s, d, m, c, f);
        if (c == holdAfterCount)
            Hold();
    }

private:
    void Hold()
    {
        if (held.exchange(true))
            return;
        m_rc.Worker()->Pause();
    }

    TRunControl &m_rc;
};
