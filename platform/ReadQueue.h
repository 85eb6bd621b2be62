// Many reads in flight: a pool of reader threads that open and read items
// ahead of the one thread that uses them, in the items' order. On a cold
// cache one read at a time leaves the disk idle between requests; with many
// requests waiting, the disk (and its queue) can serve them in its own
// order, while every result is still taken in the order of the list.
//
// Readers run at most `ahead` items ahead of the user: that bounds the open
// files and the memory of the slots. A reader that finds no room waits until
// half the places are free again, so that it is woken once for a run of
// items, not for each. Waiting is done on condition variables, never by
// spinning.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <sched.h>
#include <thread>
#include <time.h>
#include <utility>
#include <vector>

// What a reader thread keeps from one item to the next when it keeps
// nothing.
struct TNoReaderState {
};

template <class TSlot, class TReaderState = TNoReaderState>
class TReadQueue
{
public:
    // Reads item `index` into `slot` (which may hold an earlier item, done
    // with), on one of the reader threads; `state` is that thread's own.
    using TRead = std::function<void(std::size_t index, TSlot &slot, TReaderState &state)>;
    // Reads items `first` .. `first` + count - 1 into `slots[0 .. count-1]`
    // at once (fewer calls into the kernel for many small ones). It may
    // call `ready(n)` once the first n are read, so that the user can take
    // them before the rest are; all are taken for read when it returns.
    using TReady = std::function<void(std::size_t readSoFar)>;
    using TReadRun = std::function<void(std::size_t first, std::size_t count, TSlot *const *slots, TReaderState &state,
                                        const TReady &ready)>;

    // Starts reading items 0 .. count-1, on up to `readers` threads. It
    // starts with a few; each time the user finds its item not read yet
    // while the reads wait for something and the machine has a core to
    // spare, one more joins. Where the reads come from the cache the few
    // keep the cores busy, and more would only take turns on them; where
    // they wait for a disk, the cores are idle and the readers soon are
    // many.
    //
    // With `readRun`, a reader whose last items were read quickly takes on
    // up to `run` at once: from the cache, each call into the kernel costs
    // more than what it does. One that waited takes one at a time again, so
    // that a slow disk has many readers each waiting on one read.
    TReadQueue(std::size_t count, TRead read, std::size_t readers, std::size_t ahead, TReadRun readRun = {},
               std::size_t run = 1)
        : m_count(count), m_ahead(ahead < 2 ? 2 : ahead), m_read(std::move(read)), m_readRun(std::move(readRun)),
          m_run(m_readRun ? std::max<std::size_t>(1, std::min(run, m_ahead / 4)) : 1), m_slots(m_ahead),
          m_ready(m_ahead, 0), m_maxThreads(count < readers ? count : readers)
    {
        const std::size_t threads = m_maxThreads < kFirstReaders ? m_maxThreads : kFirstReaders;
        for (std::size_t i = 0; i < threads; ++i)
            m_threads.emplace_back(&TReadQueue::Serve, this);
    }
    // Stops the readers once the reads they are in have ended; what was
    // read and not taken stays in the slots, whose destructors close it.
    ~TReadQueue()
    {
        {
            std::lock_guard lock(m_mutex);
            m_quit.store(true);
        }
        m_quit.notify_all();
        m_room.notify_all();
        for (std::thread &t : m_threads)
            t.join();
    }
    TReadQueue(const TReadQueue &) = delete;
    TReadQueue &operator=(const TReadQueue &) = delete;

    // Waits until item `index` is read and gives it. Items are taken in
    // order, each once.
    TSlot &Take(std::size_t index) { return *Take(index, nullptr); }
    // The same, but gives up (nullptr) once `stop` is set, within a few
    // milliseconds, however long the read of that item takes.
    TSlot *Take(std::size_t index, const std::atomic<bool> *stop)
    {
        const std::size_t at = index % m_ahead;
        std::unique_lock lock(m_mutex);
        if (!m_ready[at]) {
            if (m_onWait)
                m_onWait(index);
            m_waitingFor = index;
            // Woken for each item, the user would change places with a
            // reader once per item: it waits for a few at once.
            const std::size_t batch = m_ahead / 2 < kWakeBatch ? m_ahead / 2 : kWakeBatch;
            m_wakeAt = index + batch - 1 < m_count ? index + batch - 1 : m_count - 1;
            m_userWaits = true;
            while (!m_ready[at]) {
                // Waiting means the readers do not keep up: one more joins,
                // and again while the wait goes on.
                if (m_threads.size() < m_maxThreads && m_pace.MoreWouldHelp(m_readsEnded, m_slowReads))
                    m_threads.emplace_back(&TReadQueue::Serve, this);
                if (!stop && m_threads.size() >= m_maxThreads) {
                    m_readyCv.wait(lock);
                } else {
                    if (stop && stop->load()) {
                        m_userWaits = false;
                        return nullptr;
                    }
                    m_readyCv.wait_for(lock, kStopLook);
                }
            }
            m_userWaits = false;
        }
        return &m_slots[at];
    }
    // The user is done with item `index`: its slot may take another.
    void Done(std::size_t index)
    {
        bool wake = false;
        {
            std::lock_guard lock(m_mutex);
            m_ready[index % m_ahead] = 0;
            m_done = index + 1;
            wake = m_readersWaiting > 0 && m_next - m_done <= m_ahead / 2;
        }
        if (wake)
            m_room.notify_all();
    }

    // Runs on the user's thread when Take() finds its item not yet read,
    // right before it waits (with the queue's lock held: it must not call
    // the queue). Lets a test act at that moment.
    void OnWait(std::function<void(std::size_t index)> onWait) { m_onWait = std::move(onWait); }

    // Set when the queue is being destroyed: a read that waits on something
    // can look at it.
    const std::atomic<bool> &Quitting() const { return m_quit; }

private:
    // How often a user waiting for an item with a stop flag looks at it (and
    // a waiting user adds a reader, while it may).
    static constexpr std::chrono::milliseconds kStopLook {20};
    // Readers at the start.
    static constexpr std::size_t kFirstReaders = 2;
    // A waiting user is woken once this many items from the one it waits
    // for are read (fewer at the end of the list, and at most half the
    // places ahead, so that the readers always have room for them).
    static constexpr std::size_t kWakeBatch = 8;

    // With the lock held: every item the waiting user is to be woken for
    // is read.
    bool ReadyUpToWake() const
    {
        for (std::size_t i = m_waitingFor; i <= m_wakeAt; ++i)
            if (!m_ready[i % m_ahead])
                return false;
        return true;
    }

    void Serve()
    {
        TReaderState state;
        std::vector<TSlot *> run(m_run);
        std::size_t claim = 1; // one at first: a reader has not seen a read yet
        std::size_t first = 0, marked = 0; // of the run in hand
        std::unique_lock lock(m_mutex, std::defer_lock);
        // With the lock held: items first .. upTo-1 are read. A waiting
        // user is woken as for single items; while a run is in hand (whose
        // other items, or another reader's, may be held up meanwhile), as
        // soon as its item is read.
        auto markReady = [&](std::size_t upTo, bool partly) {
            if (upTo <= marked)
                return;
            for (std::size_t i = marked; i < upTo; ++i)
                m_ready[i % m_ahead] = 1;
            if (m_userWaits
                && (partly ? m_ready[m_waitingFor % m_ahead] != 0
                           : upTo > m_waitingFor && marked <= m_wakeAt && ReadyUpToWake()))
                m_readyCv.notify_one();
            marked = upTo;
        };
        const TReady ready = [&](std::size_t readSoFar) {
            std::lock_guard held(m_mutex);
            markReady(first + readSoFar, true);
        };
        lock.lock();
        for (;;) {
            if (!m_quit.load() && m_next < m_count && m_next - m_done >= m_ahead) {
                ++m_readersWaiting;
                m_room.wait(lock, [this] { return m_quit.load() || m_next - m_done < m_ahead; });
                --m_readersWaiting;
            }
            if (m_quit.load() || m_next >= m_count)
                return;
            first = marked = m_next;
            const std::size_t count = std::min({claim, m_count - first, m_ahead - (first - m_done)});
            m_next += count;
            lock.unlock();
            const auto started = std::chrono::steady_clock::now();
            if (count == 1) {
                m_read(first, m_slots[first % m_ahead], state);
            } else {
                for (std::size_t i = 0; i < count; ++i)
                    run[i] = &m_slots[(first + i) % m_ahead];
                m_readRun(first, count, run.data(), state, ready);
            }
            const bool slow = std::chrono::steady_clock::now() - started >= kSlowRead * static_cast<long long>(count);
            claim = slow ? 1 : m_run;
            lock.lock();
            m_readsEnded += count;
            m_slowReads += slow ? count : 0;
            markReady(first + count, false);
        }
    }

    // Whether one more reader would help, looked at every kLook at most on
    // the user's thread (none before the first look, so that the readers at
    // the start have their turn first). It would when the reads ended since
    // the last look waited for something (a disk, a network): a quarter or
    // more of them took kSlowRead or longer, or hardly any ended; and when
    // this process left a core idle meanwhile: it used less than all of
    // them but half a core. Reads from the cache take microseconds: more
    // readers would only take turns on the cores, and wake each other up
    // for nothing.
    class TPace
    {
    public:
        TPace() : m_cores(CoreCount()), m_lookedAt(std::chrono::steady_clock::now()), m_cpuAt(ProcessCpu()) {}
        // `ended` reads since the start, `slow` of them slow.
        bool MoreWouldHelp(std::size_t ended, std::size_t slow)
        {
            const auto now = std::chrono::steady_clock::now();
            const double wall = std::chrono::duration<double>(now - m_lookedAt).count();
            if (wall >= std::chrono::duration<double>(kLook).count()) {
                const double cpu = ProcessCpu();
                const std::size_t endedNow = ended - m_endedAt, slowNow = slow - m_slowAt;
                const bool waited = endedNow < kFewReads || slowNow * 4 >= endedNow;
                m_more = waited && (cpu - m_cpuAt) / wall < double(m_cores) - 0.5;
                m_lookedAt = now;
                m_cpuAt = cpu;
                m_endedAt = ended;
                m_slowAt = slow;
            }
            // One reader joins per look: a user that waits again and again
            // within one would otherwise take on every reader at once.
            return std::exchange(m_more, false);
        }

    private:
        static constexpr std::chrono::milliseconds kLook {20};
        static constexpr std::size_t kFewReads = 4;
        static std::size_t CoreCount()
        {
            cpu_set_t set;
            CPU_ZERO(&set);
            if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
                return std::size_t(CPU_COUNT(&set));
            const unsigned n = std::thread::hardware_concurrency();
            return n ? n : 1;
        }
        static double ProcessCpu()
        {
            timespec t {};
            ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
            return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
        }
        const std::size_t m_cores;
        std::chrono::steady_clock::time_point m_lookedAt;
        double m_cpuAt;
        std::size_t m_endedAt = 0, m_slowAt = 0;
        bool m_more = false;
    };
    // A read of a small pair from the cache takes some microseconds; one
    // from a disk waits for it.
    static constexpr std::chrono::microseconds kSlowRead {100};

    const std::size_t m_count;
    const std::size_t m_ahead;
    TRead m_read;
    TReadRun m_readRun;
    const std::size_t m_run; // items a reader takes on at once, at most
    std::function<void(std::size_t index)> m_onWait;
    std::vector<TSlot> m_slots;

    std::mutex m_mutex; // guards what follows
    std::vector<char> m_ready;  // per slot: its item is read
    std::size_t m_next = 0;     // the next item a reader takes on
    std::size_t m_done = 0;     // items the user is done with
    std::size_t m_waitingFor = 0;
    std::size_t m_wakeAt = 0;   // the last item a waiting user waits for
    bool m_userWaits = false;
    std::size_t m_readersWaiting = 0;
    std::size_t m_readsEnded = 0, m_slowReads = 0; // since the start
    std::condition_variable m_readyCv, m_room;
    std::atomic<bool> m_quit {false};

    // Started once all is set up; more are added by Take() only, on the
    // user's thread, up to m_maxThreads.
    const std::size_t m_maxThreads;
    std::vector<std::thread> m_threads;
    TPace m_pace; // looked at on the user's thread

};
