// Comparing one Source file with one Target file.
#pragma once

#include "engine/AlignedBlock.h"
#include "platform/FileReader.h"

#include <cstdint>
#include <functional>
#include <string>

class TRunContext;

// What is found out about a pair before it is compared: whether both files
// are there, their sizes, and, when the sizes are equal, both files opened
// (the identities, sizes and kinds taken from the open files, not from their
// paths). For a pair of small files, their contents too, read ahead. No
// window call and no counter: it may be done on another thread, ahead of
// the comparison.
struct TPairOpening {
    bool sourceFound = false;
    bool targetFound = false;
    TFileIdentity sourceSeen, targetSeen; // links followed
    TFileReader source, target;           // open when the sizes were equal
    int sourceError = 0, targetError = 0; // why opening failed
    // Steps of the comparison's block loop already read, at most two: the
    // whole of both files, then the read that finds their ends. Step k of
    // the Source is at ReadAheadBlock(0, k), of the Target at
    // ReadAheadBlock(1, k); the counts are TFileReader::Read()'s.
    int readAheadSteps = 0;
    std::int64_t readAheadCount[2][2] {};
    TAlignedBlock readAhead; // made once for the slot that holds the pair
    // The pair's number in the run's gathered list; a single-file run's
    // pair keeps UINT32_MAX (its paths are the request's).
    std::uint32_t pair = UINT32_MAX;
    // Left closed: an unfinished run's journal proved the pair, and both
    // files still have the identities it recorded.
    bool resumed = false;
    const char *ReadAheadBlock(int side, int step) const;
    // Closes the files and forgets the rest (the read-ahead buffer stays).
    void Clear();
};

// Opens the pair of paths.
void OpenPair(const std::string &source, const std::string &target, bool fromDisk, TPairOpening &out);
// The same for the files `name` of two folders held open.
void OpenPairAt(int sourceFolder, int targetFolder, const char *name, bool fromDisk, TPairOpening &out);
// The same for files opened elsewhere (see TFileReader::Adopt()): what
// opening each gave, a descriptor or -errno. Both are owned from here on.
void OpenPairFrom(int sourceFolder, int targetFolder, const char *name, int sourceOpened, int targetOpened,
                  TPairOpening &out);
// Files up to this size are read ahead whole by ReadPairAhead().
constexpr std::uint64_t kReadAheadLimit = 64 * 1024;
// For an opened pair of small files, reads what the comparison's first
// block steps would read, into the opening's own buffer.
// With `closeAtEnd`, files read to their ends are closed there (and checked
// for change); a run that looks at the open files after the comparison (their
// attributes) keeps them open.
void ReadPairAhead(TPairOpening &opening, bool closeAtEnd = true);
// For pairs read ahead together: where the first read of each side goes,
// for a pair that is read ahead (null when it is not).
char *ReadAheadSpace(TPairOpening &opening, int side);
// Reads ahead as ReadPairAhead() does, where the first read of each side,
// into ReadAheadSpace(), was made elsewhere and gave `first` (counts, or
// -errno). Files read to their ends are not closed but handed back in
// `detached` (-1 for none), to be closed elsewhere; what that gave goes to
// their readers' ClosedElsewhere().
struct TReadMadeElsewhere {
    std::int64_t first[2] {};
    int detached[2] {-1, -1};
};
void ReadPairAhead(TPairOpening &opening, bool closeAtEnd, TReadMadeElsewhere &made);

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
// block of both sides read the same bytes in the same counts. A side that
// yields more bytes than its size changed while it was read: not a match,
// and read no further than that one block past its size.
//
// A stop request between blocks leaves the pair uncounted. A file that
// cannot be opened or read gives the "File Error" message and no outcome.
// In a delete mode, a pair whose two paths are one and the same file is a
// match but is never recorded for deletion: deleting it would destroy the
// only copy.
void ComparePair(TRunContext &run, const std::string &source, const std::string &target);
// The same for a pair that OpenPair() has opened already; the files are
// closed when it returns.
void ComparePair(TRunContext &run, const std::string &source, const std::string &target, TPairOpening &opening);
// Counts a pair proven identical without reading it, as ComparePair() counts
// a match: its result line, its report row (with `note`), the deletion's
// candidate with the identities given (or the note that both paths are one
// file).
void CountProvenPair(TRunContext &run, std::uint32_t pair, const std::string &source, const std::string &target,
                     const TFileIdentity &sourceId, const TFileIdentity &targetId, const std::string &note);
