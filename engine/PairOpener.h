// The pairs of a folder run, found, sized, opened and, when small, read, by
// a pool of reader threads ahead of the worker that compares them (see
// TReadQueue): many reads are in flight at once, while the worker still
// takes, checks and reports every pair in the order of the walk. Where the
// reads come from the cache, a reader opens, reads and closes a run of
// small pairs of one folder together, each step one call into the kernel.
#pragma once

#include "engine/ByteCompare.h"
#include "platform/IoRing.h"
#include "platform/ReadQueue.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TGatheredFiles;

class TPairOpener
{
public:
    // Runs on a reader thread once pair `index` is opened and read ahead,
    // before the worker may take it; `quitting` is set when the opener is
    // being destroyed. Lets a test hold a read up.
    using TAfterRead = std::function<void(std::size_t index, const std::atomic<bool> &quitting)>;

    // Asked on the reading thread of pair `index` once both files are found
    // with equal sizes, before either is opened: true leaves them closed,
    // marked resumed.
    using TLeaveClosed = std::function<bool(std::size_t index, const TPairOpening &)>;

    // Starts opening the pairs of `sources`, each with the file of the same
    // relative path below `targetBase` (which ends with '/'). `sources`
    // must outlive the opener.
    // With `keepOpen`, small files read whole stay open until the worker is
    // done with them (it looks at their attributes).
    TPairOpener(const TGatheredFiles &sources, std::string targetBase, bool fromDisk, TAfterRead afterRead = {},
                TLeaveClosed leaveClosed = {}, bool keepOpen = false);
    // Runs when the worker finds the pair it takes not yet read, right
    // before it waits for it (see TReadQueue::OnWait).
    void OnWait(std::function<void(std::size_t index)> onWait) { m_queue.OnWait(std::move(onWait)); }
    TPairOpener(const TPairOpener &) = delete;
    TPairOpener &operator=(const TPairOpener &) = delete;

    // Waits until pair `index` is open and gives it. Pairs are taken in
    // order, each once.
    TPairOpening &Take(std::size_t index) { return m_queue.Take(index); }
    // The same, but nullptr once `stop` is set, without waiting for the
    // pair's reads to end.
    TPairOpening *Take(std::size_t index, const std::atomic<bool> &stop) { return m_queue.Take(index, &stop); }
    // The worker is done with pair `index` (its files are closed): its place
    // may take another pair.
    void Done(std::size_t index) { m_queue.Done(index); }

    // Pairs in flight at most, and the threads that read them. The slots'
    // read-ahead buffers stay far below 64 MiB.
    static constexpr std::size_t kAhead = 64;
    static constexpr std::size_t kReaders = 16;
    // Pairs a reader opens and reads at once, at most, where they come
    // from the cache.
    static constexpr std::size_t kRun = 16;

    // A reader's two folders held open: the files of a folder are opened by
    // their names, not their paths.
    struct TFolders {
        std::uint32_t folder = UINT32_MAX;
        int source = -1, target = -1;
        // The reader's own ring, made at its first run of pairs; null where
        // the kernel has none to give.
        std::unique_ptr<TIoRing> ring;
        bool ringTried = false;
        TFolders() = default;
        TFolders(const TFolders &) = delete;
        TFolders &operator=(const TFolders &) = delete;
        ~TFolders() { Close(); }
        void Close();
    };

private:
    void Open(std::size_t index, TPairOpening &slot, TFolders &folders);
    using TQueue = TReadQueue<TPairOpening, TFolders>;
    void OpenRun(std::size_t first, std::size_t count, TPairOpening *const *slots, TFolders &folders,
                 const TQueue::TReady &ready);
    // Pairs first .. first+count-1, all of one folder held open: opened,
    // read and closed with one call into the kernel for each step. `done`
    // pairs of the run came before them.
    void OpenTogether(std::size_t first, std::size_t count, TPairOpening *const *slots, TFolders &folders,
                      std::size_t done, const TQueue::TReady &ready);
    void HoldFolders(std::uint32_t folder, TFolders &folders) const;
    // Both files looked up in the folders held, without opening them, for
    // the leave-closed question; true when they are to stay closed.
    bool LeftClosed(std::size_t index, TPairOpening &slot, const TFolders &folders);

    const TGatheredFiles &m_sources;
    const std::string m_targetBase;
    const bool m_fromDisk;
    const bool m_keepOpen;
    TAfterRead m_afterRead;
    TLeaveClosed m_leaveClosed;
    TQueue m_queue; // last: its threads use the rest
};
