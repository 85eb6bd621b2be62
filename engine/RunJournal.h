// The journal of a folder run: every pair it proves identical, with the
// identities both files had when their bytes were read, written as the run
// goes. A run that is interrupted (a closed lid, Ctrl+C, a crash, a cable
// pulled) can then be taken up again: a pair whose two files still have
// those identities is counted as proven without being read again.
//
// One journal per run, in $XDG_STATE_HOME/quorvel/runs/ (~/.local/state by
// default), named after a digest of its key: the resolved Source and Target
// and the options that change what is compared (masks, subfolders, hidden
// files, reading from the disks). A run that ends removes its journal.
//
// A journal is never more than a hint. Its paths are only ever looked up
// among the pairs the walk found, never opened; a pair is taken from it only
// while both of its files have, now, exactly the identities it names; and
// the deletion checks every file against those identities again at the
// moment it goes.
#pragma once

#include "platform/FileIdentity.h"
#include "engine/VerifyTypes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class QFile;
class TRunContext;
struct TPairOpening;

// One pair proven identical: its path relative to the Source (and the
// Target), both identities, and the SHA-256 of its bytes when the run
// recorded checksums (empty otherwise).
struct TJournalRecord {
    std::string relative;
    TFileIdentity source;
    TFileIdentity target;
    std::string sha256;
};

// The records of a journal as read back, kept compactly for a run over
// millions of files: a record is its path's 64-bit hash, both identities and
// (when there is one) the place of its hash. No path string is kept.
//
// Two paths whose hashes collide are no danger: a record is only ever used
// for a pair whose two files have, now, exactly the identities it names,
// and two files with those identities are the ones it proved identical,
// whatever their path. Of colliding paths one keeps its record, the other
// is compared again.
class TJournalRecords
{
public:
    static constexpr std::uint32_t kNone = UINT32_MAX;
    struct TEntry {
        std::uint64_t key = 0; // PathKey() of the relative path
        TFileIdentity source;
        TFileIdentity target;
        std::uint32_t hash = kNone; // into the hashes, or kNone
    };

    static std::uint64_t PathKey(std::string_view relative);

    std::size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    void clear();
    // While reading: a record, in any order.
    void Add(const TJournalRecord &record);
    void Reserve(std::size_t n) { m_entries.reserve(n); }
    // Sorts for Find(); of two records of one path, keeps one.
    void Seal();
    // The record of `relative` (kNone when there is none).
    std::uint32_t Find(std::string_view relative) const;
    const TEntry &At(std::uint32_t i) const { return m_entries[i]; }
    // The SHA-256 of record `i` in hex, or empty.
    const std::string &HashOf(std::uint32_t i) const;

private:
    std::vector<TEntry> m_entries;
    // The entries' keys again, side by side: a lookup touches a few cache
    // lines instead of one per step.
    std::vector<std::uint64_t> m_keys;
    std::vector<std::string> m_hashes;
};

// What a journal on disk holds, as far as it could be read.
struct TJournalContents {
    bool found = false;     // a journal file for this key exists
    bool usable = false;    // it could be read, and is of this key and version
    std::string problem;    // why it cannot be used, when found but not usable
    std::int32_t files = 0; // the files its run had gathered
    TJournalRecords records;
};

// Whether a run of `request` keeps a journal at all: a verify of two
// folders. A single pair gains nothing from one, and a check against a
// checksum file proves nothing pair by pair.
bool JournalKept(const VerifyRequest &request);

// What a journal is the journal of: the two trees, resolved, and every
// option that changes which pairs are compared or how their bytes are read.
std::string JournalKeyOf(const VerifyRequest &request);

// The folder journals are kept in, and the journal file of `request`'s key.
std::string JournalFolder();
std::string JournalPathOf(const VerifyRequest &request);

// Reads the journal of `request`'s key, if there is one. A torn last batch
// (the run died while writing it) is left out without a word; anything else
// that is wrong makes the whole journal unusable, with `problem` saying why.
TJournalContents ReadJournal(const VerifyRequest &request);

// Removes the journal of `request`'s key (a user who chose not to resume).
void RemoveJournal(const VerifyRequest &request);

// Removes journals not written to for `days` days.
void PruneJournals(int days = 30);

// Writes a journal: records gathered and written a batch at a time, each
// batch framed with its length and digest. Safe to add to from two threads
// (the comparison's and the checksum hashing's).
class TJournalWriter
{
public:
    TJournalWriter() = default;
    ~TJournalWriter();
    TJournalWriter(const TJournalWriter &) = delete;
    TJournalWriter &operator=(const TJournalWriter &) = delete;

    // Starts a journal at `path` for a run of `keyText` that gathered
    // `files` files. It is written under a temporary name and takes `path`'s
    // place with its first batch, so that a journal it replaces stays until
    // then. False with `error` when it cannot be made.
    bool Open(const std::string &path, const std::string &keyText, std::int32_t files, std::string &error);
    // Adds a record; written with its batch, once enough records or enough
    // time have gathered.
    void Add(const TJournalRecord &record);
    // Writes what is gathered when anything is, and the last batch is at
    // least `olderThanMs` old.
    void Flush(std::int64_t olderThanMs = 0);
    // Removes the journal (the run it is of has ended).
    void Remove();
    // The first failure to write, or empty.
    std::string Failure() const;
    const std::string &Path() const { return m_path; }

private:
    void WriteBatch(); // with the lock held

    mutable std::mutex m_mutex;
    std::unique_ptr<QFile> m_file;
    int m_fd = -1;            // 0 while the file is open and sound
    std::string m_path, m_tempPath;
    bool m_inPlace = false;   // the file has taken its name
    std::string m_pending;    // encoded records not yet written
    std::size_t m_pendingCount = 0;
    std::int64_t m_lastWriteMs = 0;
    std::string m_failure;
};

// What a run does with its journal (see TRunState::journal).
struct TRunJournal {
    TJournalWriter writer;
    bool writing = false;
    // The journal record of each gathered file that the earlier run proved,
    // by its place in the file list (TJournalRecords::kNone when none; empty
    // when not resuming).
    std::vector<std::uint32_t> recordOf;
    TJournalContents earlier;
    double credited = 0; // bytes counted as done at the start
    // Pairs proven while checksums are recorded wait here, by their
    // relative path, for their hash (which comes from the hashing thread).
    std::mutex waitingMutex;
    std::unordered_map<std::string, TJournalRecord> waitingHash;
};

// Before the walk of a run that resumes: reads the earlier journal, so that
// the walk need not ask the sizes of the files it names (see
// JournalSizeOf()). Nothing for other runs.
void ReadEarlierJournal(TRunContext &run);
// During that walk: the size the earlier run recorded for the Source file
// `path`, when it proved it; true then. The file's identities are still
// looked up, fresh, when its pair's turn comes.
bool JournalSizeOf(const TRunContext &run, const std::string &path, std::uint64_t &size);
// Before the comparison of a folder run: prunes old journals, says what of
// the earlier journal can be used when the run resumes (a note when it
// cannot), counts the bytes of the pairs it names as done, and starts the
// run's own journal (a note when it cannot be written: the run goes on).
void StartJournal(TRunContext &run);
// Whether pair `index` may be taken from the journal without being opened:
// both files, as the opener found them, have the identities recorded. Runs
// on the opening thread; reads only what StartJournal() set up.
bool ResumablePair(const TRunContext &run, std::size_t index, const TPairOpening &opening);
// Takes pair `index` from the journal when the opener found it resumable:
// counted and logged as a match, with a report row noted "resumed"; true
// then. Otherwise the bytes counted for it at the start are taken back and
// the pair is left to be compared: false.
bool ResumePair(TRunContext &run, std::size_t index, const std::string &source, const std::string &target,
                TPairOpening &opening);
// A pair the comparison proved identical, with the identities of its two
// open files; its SHA-256 follows later when checksums are recorded.
void JournalProven(TRunContext &run, const std::string &source, const TFileIdentity &sourceId,
                   const TFileIdentity &targetId);
// Writes the gathered records out now when they are older than a few
// seconds, or when `nextSize` bytes are about to be read at a stretch.
void TickJournal(TRunContext &run, double nextSize);
// Writes the gathered records out now, once the hashes of the pairs proven
// so far are in.
void FlushJournal(TRunContext &run);
// After the comparison: a run that went to its end removes its journal; a
// stopped one writes out the rest, for --resume.
void FinishJournal(TRunContext &run);
// The summary's line on what was taken from the journal, when anything was.
void LogResumed(TRunContext &run);
