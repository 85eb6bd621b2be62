// Records the SHA-256 of every pair a verify proves identical, as the run
// goes, into a checksum file that sha256sum -c reads: the proof outlives the
// Source. The bytes are the blocks the comparison read already, hashed on a
// thread of their own. The file is written under a temporary name beside
// its own and renamed into place at the end of the run; a run killed
// outright leaves nothing under the file's name.
#pragma once

#include "engine/AlignedBlock.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QSaveFile;
class TBlockHasher;
class TRunContext;

class TChecksumRecorder
{
public:
    // Paths are recorded relative to `targetRoot`, the run's Target folder;
    // for a single-file run (`singleFile`) the Target file's name is.
    TChecksumRecorder(std::string path, std::string targetRoot, bool singleFile);
    ~TChecksumRecorder();
    TChecksumRecorder(const TChecksumRecorder &) = delete;
    TChecksumRecorder &operator=(const TChecksumRecorder &) = delete;

    // Creates the temporary file (and the file's folder) and writes the
    // comment lines, each given without its '#'. False with `error` when the
    // file cannot be made.
    bool Open(const std::vector<std::string> &comments, std::string &error);

    // A pair whose bytes are about to be read.
    void BeginPair();
    // Its next `size` bytes, proven equal on both sides (see
    // TBlockHasher::Hand()).
    void Hand(TAlignedBlock &block, std::size_t size);
    // The pair's end: recorded under the Target path's name when `proven`.
    void EndPair(bool proven, const std::string &targetPath);
    // A pair proven without being read (its hash known from before),
    // recorded in its place among the others.
    void AddKnown(const std::string &targetPath, const std::string &hex);
    // Runs on the hashing thread for every line recorded, with its name and
    // hash; none by default.
    using TOnRecorded = std::function<void(const std::string &name, const std::string &hex)>;
    void SetOnRecorded(TOnRecorded onRecorded);
    // Waits until every pair ended so far is recorded.
    void Drain();

    // Writes out what is left and renames the file into place. False with
    // `error` when anything since Open() failed; the file's name then holds
    // nothing new.
    bool Finish(std::string &error);

    const std::string &Path() const { return m_path; }
    // Files recorded so far (after Finish(): in the file).
    std::size_t Count() const;

private:
    void Append(const std::string &line);
    std::string NameOf(const std::string &targetPath) const;
    void Queue(std::string name, std::string known, bool proven);

    std::string m_path;
    std::string m_targetRoot;
    bool m_singleFile;
    std::unique_ptr<QSaveFile> m_file;
    std::unique_ptr<TBlockHasher> m_hasher;
    // The names of the pairs ended and not yet delivered, in order. Written
    // by the run's thread, read by the hashing thread.
    mutable std::mutex m_mutex;
    // A pair's name, and its hash when it is known without reading.
    struct TNamed {
        std::string name;
        std::string known;
    };
    std::vector<TNamed> m_names;
    TOnRecorded m_onRecorded;
    std::size_t m_nextName = 0;
    std::size_t m_count = 0;
    std::string m_buffer;   // lines not yet written (hashing thread)
    std::string m_failure;  // the first write that failed
    std::uint64_t m_pairs = 0;
};

// What a run does with its recorder: made and opened when the run's request
// names a checksum file (false, with the run's message shown and a trouble
// noted, when it cannot be made: the run is not started), and finished when
// the comparison is over, with a log line naming the file.
bool StartChecksums(TRunContext &run);
void FinishChecksums(TRunContext &run);
