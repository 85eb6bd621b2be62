// Gathering what a folder run compares: the masks, and a depth-first walk of
// the Source folder that records the files passing the hidden/system rules
// and one of the masks.
#pragma once

#include <string>
#include <vector>

class TRunContext;

// Splits the filter text at ';'. A text containing "*.*" anywhere is the one
// mask "*". Empty pieces are kept (they match nothing), except after the last
// ';'; an empty text gives no masks, so nothing is gathered.
std::vector<std::string> ParseMasks(const std::string &maskText);

// True when `mask` matches all of `text`: '*' is any run of bytes (none
// included, '/' included), '?' exactly one byte. With ignoreCase, the letters
// A-Z match their lower-case forms; every other byte matches only itself.
bool MatchMask(const std::string &mask, const std::string &text, bool ignoreCase);

// Walks `folder` depth-first, in the order the file system lists each folder,
// filling the run's fileList and folderList and its folder, file and byte
// counters, with a window update after every listed entry.
//
// Entries that are neither regular files nor folders (or links to them:
// FIFOs, devices, sockets, links leading nowhere or into a loop) are never
// opened; each that the masks would have taken is counted as skipped and
// named in the run log and the report. Links to folders are skipped without
// a word: the walk never leaves the chosen tree and cannot loop. Names beginning with '.' are skipped unless hidden files
// are included. The walk keeps its own stack, so no depth of tree can
// overflow the program's.
//
// A subfolder that cannot be listed is reported in the run log with its path
// and the reason, and skipped. Returns false when `folder` itself cannot be
// listed, or when a stop was requested; true otherwise.
bool WalkFolder(TRunContext &run, const std::string &folder);
