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

// "hh:mm:ss" of a number of seconds, days dropped.
std::string FormatClock(std::int64_t seconds);
