// The rate and estimate a run shows once a second, in the window and on the
// command line's progress line alike.
#pragma once

#include <cstdint>
#include <string>

// The figures of one tick of the progress timer, for a run `seconds` whole
// seconds old that has done `bytesDone` of `totalBytes`.
struct TTimerFigures {
    std::int32_t rate = 0;        // Kb/s, 0 before the first whole second
    bool rateAndEstimate = false; // shown on even seconds only
    bool estimateKnown = false;   // false while the rate is 0
    std::int64_t estimate = 0;    // seconds the whole run should take
};
TTimerFigures TimerFigures(std::int64_t seconds, double bytesDone, double totalBytes);

// What a run's progress display shows: the window's labels and the command
// line's progress line are two ways of writing the same snapshot, which
// only this computes. The rate and the estimate are renewed on even seconds
// only (the estimate once the rate is known) and kept in between.
struct TProgressSnapshot {
    std::int32_t files = 0;        // gathered by the walk so far
    std::int32_t filesChecked = 0; // compared so far
    double gatheredBytes = 0;      // the walk's total so far
    double bytesDone = 0;          // of the comparison, as the overall bar
    double totalBytes = 0;
    std::int64_t elapsed = 0;      // whole seconds since the run began
    std::int32_t rate = 0;         // Kb/s
    std::int64_t estimate = 0;     // seconds the whole run should take

    // The progress timer's tick of a run `seconds` whole seconds old.
    void Tick(std::int64_t seconds);
    // The run's clock starts again: no time, no rate, no estimate yet.
    void RestartClock();
};

// "hh:mm:ss" of a number of seconds, days dropped.
std::string FormatClock(std::int64_t seconds);
