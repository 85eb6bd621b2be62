// Comparing one Source file with one Target file.
#pragma once

#include <cstdint>
#include <string>

class TInfoThread;

// Bytes read from each side at a time.
constexpr std::int32_t kBlockSize = 1024000;
// Progress bars count in signed 32-bit whole numbers.
constexpr double kBarLimit = 2147483647.0;

// The range of a bar for `size` bytes, clamped to the bar's limit.
std::int32_t BarRange(double size);
// The position of a bar with range from `size` after `done` bytes: scaled
// down when the size is beyond the bar's limit.
std::int32_t BarPosition(double done, double size);

// Classifies the pair as matching, different (length or contents) or missing
// (either side), counts it, hands its result line to the window and, in a
// delete mode, records the matching file of the side to be deleted. Lengths
// are compared before any content is read; contents are read in blocks of
// kBlockSize, Source then Target, and a pair is a match only when every
// block of both sides read the same bytes in the same counts.
//
// A stop request between blocks leaves the pair uncounted. A file that
// cannot be opened or read gives the "File Error" message and no outcome.
// In a delete mode, a pair whose two paths are one and the same file is a
// match but is never recorded for deletion: deleting it would destroy the
// only copy.
void ComparePair(TInfoThread &worker, const std::string &source, const std::string &target);
