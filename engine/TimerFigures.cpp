#include "engine/TimerFigures.h"

#include <cstdio>

TTimerFigures TimerFigures(std::int64_t seconds, double bytesDone, double totalBytes)
{
    TTimerFigures f;
    if (seconds != 0)
        f.rate = static_cast<std::int32_t>(bytesDone / 1024 / double(seconds));
    f.rateAndEstimate = seconds % 2 == 0;
    if (f.rate != 0) {
        f.estimateKnown = true;
        f.estimate = static_cast<std::int64_t>(totalBytes / 1024 / f.rate);
    }
    return f;
}

void TProgressSnapshot::Tick(std::int64_t seconds)
{
    elapsed = seconds;
    const TTimerFigures f = TimerFigures(seconds, bytesDone, totalBytes);
    if (!f.rateAndEstimate)
        return;
    if (f.estimateKnown)
        estimate = f.estimate;
    rate = f.rate;
}

void TProgressSnapshot::RestartClock()
{
    elapsed = 0;
    rate = 0;
    estimate = 0;
}

std::string FormatClock(std::int64_t seconds)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", int(seconds / 3600 % 24), int(seconds / 60 % 60),
                  int(seconds % 60));
    return text;
}
