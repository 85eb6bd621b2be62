// The progress line of a run on a terminal: files checked of the total,
// bytes done of the total, elapsed and estimated time and the data rate,
// redrawn in place at most ten times a second.
#pragma once

#include "engine/TimerFigures.h"

#include <chrono>
#include <cstdint>
#include <string>

class TCliProgress
{
public:
    using TClock = std::chrono::steady_clock;

    // The line goes to `fd`; nothing is drawn when `enabled` is false.
    TCliProgress(int fd, bool enabled);

    // The run begins: its elapsed time counts from `now`.
    void Start(TClock::time_point now);
    // The walk's totals so far; the comparison's byte figures.
    void Totals(std::int32_t files, double totalBytes);
    void Checked(std::int32_t filesChecked, std::int32_t files);
    void Comparing() { m_comparing = true; }
    void RunBytes(double done, double total);

    // Takes the once-a-second figures when a new second has begun, and
    // redraws when the line is gone or 100 ms old.
    void Update(TClock::time_point now);
    // Removes the line before anything else is written where it stands.
    void Erase();
    // The comparison is over: the line is removed and stays away.
    void Stop();

    // The line as it reads now.
    std::string Text() const;

private:
    int m_fd;
    bool m_enabled;
    bool m_drawn = false;
    bool m_comparing = false;
    TClock::time_point m_start;
    TClock::time_point m_lastDraw;
    std::int64_t m_seconds = -1;  // the whole seconds the figures are of
    TProgressSnapshot m_progress;  // as the window shows it
};

// "512.0 MiB", "3 B": a size for a line that must stay short.
std::string ShortSize(double bytes);
