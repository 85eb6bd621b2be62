// Finds, sizes and opens the pairs of a folder run on a thread of its own,
// a few pairs ahead of the worker that compares them: for many small files
// these system calls cost as much as the reading, and two cores can share
// the work. Nothing is read here; every pair is still read, checked and
// reported by the worker, in order.
#pragma once

#include "engine/ByteCompare.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class TPairOpener
{
public:
    using TTargetOf = std::function<std::string(const std::string &source)>;

    // Starts opening the pairs of `sources` (with their targets) in order.
    // Both must outlive the opener.
    TPairOpener(const std::vector<std::string> &sources, TTargetOf targetOf, bool fromDisk);
    // Stops the thread; pairs opened and not taken are closed.
    ~TPairOpener();
    TPairOpener(const TPairOpener &) = delete;
    TPairOpener &operator=(const TPairOpener &) = delete;

    // Waits until pair `index` is open and gives it. Pairs are taken in
    // order, each once.
    TPairOpening &Take(std::size_t index);
    // The worker is done with pair `index` (its files are closed): its place
    // may take another pair.
    void Done(std::size_t index);

private:
    void Serve();

    static constexpr std::size_t kAhead = 16;

    const std::vector<std::string> &m_sources;
    TTargetOf m_targetOf;
    bool m_fromDisk;
    TPairOpening m_slots[kAhead];
    // Pairs opened so far, and pairs the worker is done with. The opener
    // stays at most kAhead pairs ahead; once it had to wait it waits until
    // half its places are free, so that it is woken once for a run of
    // pairs, not once for each.
    std::atomic<std::size_t> m_opened {0}, m_done {0};
    std::atomic<bool> m_workerWaits {false}, m_openerWaits {false}, m_quit {false};
    std::thread m_thread;
};
