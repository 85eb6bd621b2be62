// The texts of figures in the run log.
#pragma once

#include <cstdint>
#include <string>

// "#,0": whole number with the locale's thousands separators.
std::string FormatCount(double value);
// The time of day as "hh:mm:ss".
std::string TimeStamp();
// An elapsed time as "hh:mm:ss:zzz".
std::string FormatElapsed(std::int64_t milliseconds);
