// Gathering what a folder run compares: the masks, and a depth-first walk of
// the Source folder that records the files passing the hidden/system rules
// and one of the masks.
#pragma once

#include "platform/DirReader.h"

#include <cstdint>
#include <string>
#include <vector>

class TRunContext;
struct TRunState;

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

// True when one of the run's masks matches `path`.
bool MatchesAMask(const TRunState &state, const std::string &path);

// What a walk hands on: the folders it enters, the files and the other
// entries it finds (never opened), each with its full path. A folder is
// known by the number the sink gives it (the root's by Root(), the others'
// by Entered()); its files name it by that number.
class TWalkSink
{
public:
    virtual ~TWalkSink() = default;
    // Whether File() needs the sizes (one more stat per file otherwise).
    virtual bool WantSizes() const { return true; }
    // Whether the size of the file `name` in `folder` is known without
    // asking the file system (then in `size`).
    virtual bool SizeKnown(const std::string &, const std::string &, std::uint64_t &) const { return false; }
    virtual std::uint32_t Root(const std::string &) { return 0; }
    // A subfolder found, before it is listed; then, once it could be, its
    // number.
    virtual void Folder(const std::string &path) = 0;
    virtual std::uint32_t Entered(std::uint32_t, const std::string &) { return 0; }
    virtual void File(std::uint32_t folder, const std::string &name, const std::string &path,
                      std::uint64_t size) = 0;
    virtual void Other(const std::string &path, TOtherKind kind) = 0;
};

// The walk WalkFolder() makes, by the run's subfolder and hidden options,
// with what it finds handed to `sink` instead of gathered. A folder that
// cannot be listed is logged as there; false when `root` cannot be listed
// or a stop was requested.
bool WalkTree(TRunContext &run, const std::string &root, TWalkSink &sink);
