// Opening what a run reads on a thread of its own, a few items ahead of the
// worker that reads them: for many small files these system calls cost as
// much as the reading, and two cores can share the work. Nothing is read
// here; every item is still read, checked and reported by the worker, in
// order. The pairs of a verify and the files of a check are opened this way.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <thread>

template <class TSlot>
class TOpenAhead
{
public:
    // Opens item `index` into `slot` (which may hold an earlier item, done
    // with); runs on the opening thread.
    using TOpen = std::function<void(std::size_t index, TSlot &slot)>;

    // Starts opening items 0 .. count-1 in order.
    TOpenAhead(std::size_t count, TOpen open) : m_count(count), m_open(std::move(open))
    {
        if (m_count > 0)
            m_thread = std::thread(&TOpenAhead::Serve, this);
    }
    // Stops the thread; what it opened and was not taken is left in the
    // slots, whose destructors close it.
    ~TOpenAhead()
    {
        if (!m_thread.joinable())
            return;
        m_quit.store(true);
        m_done.fetch_add(kAhead); // wakes an opener waiting for room
        m_done.notify_one();
        m_thread.join();
    }
    TOpenAhead(const TOpenAhead &) = delete;
    TOpenAhead &operator=(const TOpenAhead &) = delete;

    // Waits until item `index` is open and gives it. Items are taken in
    // order, each once.
    TSlot &Take(std::size_t index)
    {
        std::size_t opened = m_opened.load();
        if (opened <= index) {
            m_workerWaits.store(true);
            while ((opened = m_opened.load()) <= index)
                m_opened.wait(opened);
            m_workerWaits.store(false);
        }
        return m_slots[index % kAhead];
    }
    // The worker is done with item `index`: its slot may take another.
    void Done(std::size_t index)
    {
        m_done.store(index + 1);
        if (m_openerWaits.load() && m_opened.load() - (index + 1) <= kAhead / 2)
            m_done.notify_one();
    }

private:
    void Serve()
    {
        for (std::size_t i = 0; i < m_count; ++i) {
            std::size_t done = m_done.load();
            if (i - done >= kAhead) {
                m_openerWaits.store(true);
                while (!m_quit.load() && i - (done = m_done.load()) > kAhead / 2)
                    m_done.wait(done);
                m_openerWaits.store(false);
            }
            if (m_quit.load())
                return;
            m_open(i, m_slots[i % kAhead]);
            m_opened.store(i + 1);
            if (m_workerWaits.load())
                m_opened.notify_one();
        }
    }

    static constexpr std::size_t kAhead = 16;

    const std::size_t m_count;
    TOpen m_open;
    TSlot m_slots[kAhead];
    // Items opened so far, and items the worker is done with. The opener
    // stays at most kAhead items ahead; once it had to wait it waits until
    // half its places are free, so that it is woken once for a run of items,
    // not once for each.
    std::atomic<std::size_t> m_opened {0}, m_done {0};
    std::atomic<bool> m_workerWaits {false}, m_openerWaits {false}, m_quit {false};
    std::thread m_thread;
};
