// Digests of files computed on a thread of their own from the blocks the
// reading thread hands over: the reader goes on with its next block while
// the last one is hashed, and no byte is read twice.
//
// The reader hands each file as Begin(), Hand() for every block in order,
// End(). Digests come out through the callback on the hashing thread, one per
// End() and in the order of the End() calls.
#pragma once

#include "engine/AlignedBlock.h"
#include "platform/Digest.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TBlockHasher
{
public:
    struct TDone {
        std::uint64_t tag = 0; // as given to End()
        bool wanted = false;   // as given to End(); no digest when false
        std::string hex;       // lower-case hex digest of the file's bytes
    };
    using TOnDone = std::function<void(TDone &&)>;

    // `onDone` runs on the hashing thread.
    explicit TBlockHasher(TOnDone onDone);
    // Delivers what was handed, then stops the thread.
    ~TBlockHasher();
    TBlockHasher(const TBlockHasher &) = delete;
    TBlockHasher &operator=(const TBlockHasher &) = delete;

    // A new file, hashed with `kind`.
    void Begin(TDigestKind kind = TDigestKind::Sha256);
    // Hands over the first `size` bytes of `block`, which then holds another
    // block to read into. Waits only while every spare block is still being
    // hashed.
    void Hand(TAlignedBlock &block, std::size_t size);
    // The end of the file begun last. With `wanted` false its digest is not
    // computed (the bytes proved nothing) but the callback still runs.
    void End(std::uint64_t tag, bool wanted);
    // Waits until the callback has run for every End() made so far.
    void Drain();

private:
    enum class TStep { Begin, Block, End };
    struct TJob {
        TStep step = TStep::Begin;
        TDigestKind kind = TDigestKind::Sha256;
        TAlignedBlock block;        // a large block, handed over
        std::vector<char> small;    // a small one, copied
        std::size_t size = 0;
        std::uint64_t tag = 0;
        bool wanted = false;
    };
    void Push(TJob &&job);
    void Serve();

    // Blocks of this size or less are copied: cheaper than having a spare
    // block of a megabyte wait for each small file.
    static constexpr std::size_t kCopyUpTo = 64 * 1024;
    // Blocks that may be in the hashing thread's hands at once.
    static constexpr std::size_t kSpareBlocks = 4;
    // Bytes of copied blocks that may wait for it: many small files must not
    // pile up in memory while it catches up.
    static constexpr std::size_t kCopiesWaitingAtMost = 4 * 1024 * 1024;

    TOnDone m_onDone;
    std::mutex m_mutex;
    std::condition_variable m_work;  // a job arrived, or the end
    std::condition_variable m_freed; // a spare block came back, or a file was delivered
    std::deque<TJob> m_jobs;
    std::vector<TAlignedBlock> m_spare;
    std::size_t m_blocksMade = 0;
    std::size_t m_copiedWaiting = 0; // bytes of copied blocks not yet hashed
    std::uint64_t m_ended = 0, m_delivered = 0;
    bool m_quit = false;
    std::thread m_thread;
};
