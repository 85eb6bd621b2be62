// The settings and counters of one verify run.
#pragma once

#include <cstdint>
#include <string>

// Which side's matching files a run deletes.
enum class DeleteMode : std::int32_t {
    None = 0,
    Source = 1,
    Target = 2,
};

// A snapshot of the window's settings, taken once as the worker's first act;
// the worker reads nothing else of the window afterwards. The paths are
// absolute (resolved when Start was pressed) and keep the user's spelling
// otherwise: a folder path may or may not end with '/'.
struct VerifyRequest {
    std::string sourcePath;
    std::string targetPath;
    bool singleFile = false;       // the Source is an existing file
    bool includeSubfolders = true;
    bool includeHidden = true;
    std::string maskText = "*.*";  // masks separated by ';', no blanks
    DeleteMode deleteMode = DeleteMode::None;
    // Every byte compared comes from the storage devices, not the page
    // cache: right after a copy, the cache still holds what was written,
    // not what reached the disk.
    bool fromDisk = false;
    // The two files of a pair are read at once, each on a thread of its
    // own. Off only to measure what that gains.
    bool concurrentReads = true;
    // When not empty, the SHA-256 of every pair proven identical is recorded
    // into this checksum file.
    std::string checksumsPath;
    // When not empty, the run is a check instead of a verify: every file
    // this checksum file lists is read below `targetPath` and its digest
    // compared; `sourcePath` plays no part.
    std::string checkFile;
    // Take up the unfinished run of the same folders and options: pairs its
    // journal proved, and whose files have not changed since, are counted
    // without being read again.
    bool resume = false;
    // Bits of TAttributeBits (platform/FileAttributes.h): the attributes a
    // pair whose bytes match must also share. 0: bytes only.
    unsigned compareAttributes = 0;
    // After the comparison the Target is walked too, and its files that have
    // no Source counterpart are listed.
    bool listTargetOnly = false;
};

// Counts are signed 32-bit and sizes doubles, as the window shows them;
// sizes are taken as 64-bit integers first.
struct VerifyCounters {
    std::int32_t folders = 0;      // subfolders entered by the walk
    std::int32_t files = 0;        // files gathered for comparison
    double totalBytes = 0;         // sum of their sizes
    std::int32_t filesChecked = 0; // pairs handled, whatever their result
    std::int32_t same = 0;
    std::int32_t different = 0;
    std::int32_t missing = 0;
    std::int32_t unreadable = 0;   // pairs that could not be read: no outcome
    std::int32_t skipped = 0;      // Source entries that are no regular file
                                   // (FIFOs, devices, sockets, broken links)
    std::int32_t resumed = 0;      // matches taken from an unfinished run's journal
    double resumedBytes = 0;       // their bytes, not read again
    std::int32_t attributesDiffer = 0; // matching pairs whose attributes differ
    std::int32_t targetOnly = 0;   // Target files without a Source counterpart
    double overallBytesDone = 0;   // bytes accounted for over the whole run
    double sourceSize = 0;         // of the current pair
    double targetSize = 0;
    double fileBytesDone = 0;      // of the current pair, compared so far
    // What a deletion's totals said: files deleted and emptied folders
    // removed (-1: no deletion ran).
    std::int32_t filesDeleted = -1;
    std::int32_t foldersDeleted = -1;
};

// What a line of the run's log is, given by the engine as it makes the
// line: whoever shows, filters or prints the log decides by the kind, never
// by reading the text.
enum class TLogKind {
    PairResult,    // one per pair compared ("Files Match - ...")
    Event,         // a step of the run or something met on the way
    Summary,       // the run's totals and its end
    DeletionTotal, // how many files and folders a deletion removed
    Note,          // something worth knowing that is no problem
};

// What became of one pair, or of one file of a deletion, as the report
// names it.
enum class TReportResult {
    Match,
    Differ,
    LengthsDiffer,
    SourceMissing,
    TargetMissing,
    Unreadable,
    Deleted,
    NotDeleted,
    Skipped, // a Source entry that is not a regular file, never opened
    AttributesDiffer, // a match whose attributes differ; the note names them
    TargetOnly,       // a Target file without a Source counterpart
};

// One row of the run's report. The paths are the full paths of the pair,
// as they are on disk (the report escapes them); `size` is the Source's size
// (for a deletion: the size of the file deleted or kept), -1 when unknown.
// `note` says why a file was not deleted or could not be read, what a
// skipped entry is, or which attributes differ. A Target-only file has no
// Source path; its size is the Target file's.
struct TReportRow {
    TReportResult result = TReportResult::Match;
    std::string source;
    std::string target;
    std::int64_t size = -1;
    std::string note;
};
