// The reader pool: items come out in order whatever order their reads end
// in; it starts with few readers and takes on more while its user waits, so
// reads that hang (a slow disk) do not hold up the ones behind them.
#include "platform/ReadQueue.h"

#include "tests/common/QvlTestMain.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

struct TSlot {
    std::size_t item = SIZE_MAX;
};

// Reads that wait for another item's read to end, with a bound, so that a
// pool that never takes on the reader that item needs fails the test
// instead of hanging it.
class TGate
{
public:
    void Opened(std::size_t item)
    {
        std::lock_guard lock(m_mutex);
        m_read.insert(item);
        m_changed.notify_all();
    }
    bool WaitFor(std::size_t item)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_read.count(item) > 0; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::set<std::size_t> m_read;
};

// A user waiting without a stop flag sleeps until it is woken: a missed
// wake would hang the test, so this ends it then, as failed.
class TWatchdog
{
public:
    TWatchdog()
        : m_thread([this] {
              std::unique_lock lock(m_mutex);
              if (!m_cv.wait_for(lock, std::chrono::seconds(60), [&] { return m_finished; })) {
                  std::fprintf(stderr, "FAIL: a waiting user was never woken\n");
                  std::_Exit(1);
              }
          })
    {
    }
    ~TWatchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_finished = false;
    std::thread m_thread;
};

} // namespace

class ReadQueueTest : public QObject
{
    Q_OBJECT

private slots:
    // Reads that all end at once come out in order, each once; the pool
    // keeps at most `ahead` items read before the user takes them.
    void itemsComeOutInOrder()
    {
        std::atomic<std::size_t> reads {0};
        std::atomic<std::size_t> mostAhead {0};
        std::atomic<std::size_t> taken {0};
        TReadQueue<TSlot> queue(
            1000,
            [&](std::size_t index, TSlot &slot, TNoReaderState &) {
                slot.item = index;
                ++reads;
                const std::size_t ahead = index - taken.load();
                std::size_t seen = mostAhead.load();
                while (ahead > seen && !mostAhead.compare_exchange_weak(seen, ahead)) {
                }
            },
            16, 8);
        for (std::size_t i = 0; i < 1000; ++i) {
            QCOMPARE(queue.Take(i).item, i);
            taken = i + 1;
            queue.Done(i);
        }
        QCOMPARE(reads.load(), std::size_t(1000));
        QVERIFY(mostAhead.load() <= 8);
    }

    // The first reads hang until a later item is read: the readers the
    // pool starts with are all held, and only one that joins while the user
    // waits can read that item. Item 0 comes out once it has.
    void readersJoinWhileTheUserWaits()
    {
        TGate gate;
        std::atomic<bool> timedOut {false};
        constexpr std::size_t kHeld = 6; // more than the pool starts with
        TReadQueue<TSlot> queue(
            40,
            [&](std::size_t index, TSlot &slot, TNoReaderState &) {
                if (index < kHeld && !gate.WaitFor(kHeld + 3))
                    timedOut = true;
                slot.item = index;
                gate.Opened(index);
            },
            16, 32);
        std::atomic<bool> stop {false};
        for (std::size_t i = 0; i < 40; ++i) {
            TSlot *slot = queue.Take(i, &stop);
            QVERIFY(slot);
            QCOMPARE(slot->item, i);
            queue.Done(i);
        }
        QVERIFY2(!timedOut, "the later item was never read: no reader joined");
    }

    // A user waiting without a stop flag must be woken whatever order the
    // reads end in, however few places there are ahead, and at the end of
    // the list.
    void waitingUserIsAlwaysWoken()
    {
        TWatchdog watchdog;
        for (std::size_t ahead : {2, 3, 4, 9, 64})
            for (std::size_t count : {1, 5, 8, 9, 200}) {
                // Within each run of four, the later reads take less time,
                // so that they tend to end first.
                TReadQueue<TSlot> queue(
                    count,
                    [&](std::size_t index, TSlot &slot, TNoReaderState &) {
                        std::this_thread::sleep_for(std::chrono::microseconds(200 * (4 - index % 4)));
                        slot.item = index;
                    },
                    16, ahead);
                for (std::size_t i = 0; i < count; ++i) {
                    QCOMPARE(queue.Take(i).item, i);
                    queue.Done(i);
                }
            }
    }

    // Quick reads are taken on in runs, never longer than asked for nor
    // beyond the places ahead; a run that was slow sends its reader back
    // to one item at a time. Every item is read once, and they come out in
    // order.
    void quickReadsAreTakenInRuns()
    {
        constexpr std::size_t kCount = 2000, kAhead = 64, kRun = 16;
        std::mutex mutex;
        std::vector<int> readsOf(kCount, 0);
        // Per reader, its claims: how many items, and whether all were slow.
        std::map<std::thread::id, std::vector<std::pair<std::size_t, bool>>> claims;
        auto read = [&](std::size_t index, TSlot &slot, bool slow) {
            if (slow)
                std::this_thread::sleep_for(std::chrono::microseconds(300));
            slot.item = index;
            std::lock_guard lock(mutex);
            ++readsOf[index];
        };
        // Items 1000 to 1099 are slow.
        auto isSlow = [](std::size_t index) { return index >= 1000 && index < 1100; };
        TReadQueue<TSlot> queue(
            kCount,
            [&](std::size_t index, TSlot &slot, TNoReaderState &) {
                read(index, slot, isSlow(index));
                std::lock_guard lock(mutex);
                claims[std::this_thread::get_id()].emplace_back(1, isSlow(index));
            },
            16, kAhead,
            [&](std::size_t first, std::size_t count, TSlot *const *into, TNoReaderState &,
                const TReadQueue<TSlot>::TReady &) {
                bool slow = true;
                for (std::size_t i = 0; i < count; ++i) {
                    slow = slow && isSlow(first + i);
                    read(first + i, *into[i], isSlow(first + i));
                }
                std::lock_guard lock(mutex);
                claims[std::this_thread::get_id()].emplace_back(count, slow);
            },
            kRun);
        for (std::size_t i = 0; i < kCount; ++i) {
            QCOMPARE(queue.Take(i).item, i);
            queue.Done(i);
        }
        QCOMPARE(std::count(readsOf.begin(), readsOf.end(), 1), std::ptrdiff_t(kCount));
        std::size_t inRuns = 0;
        for (const auto &[thread, seen] : claims)
            for (std::size_t k = 0; k < seen.size(); ++k) {
                QVERIFY(seen[k].first <= kRun);
                if (seen[k].first > 1)
                    inRuns += seen[k].first;
                // A claim of slow items only (300 µs each) is followed by a
                // single one.
                if (seen[k].second && k + 1 < seen.size())
                    QCOMPARE(seen[k + 1].first, std::size_t(1));
            }
        QVERIFY2(inRuns > 0, "no quick reads were taken on together");
    }

    // The items of a run that are read come out while the rest of the run
    // is still held: here the last item of every run waits until the user
    // has taken the first one. A queue that let none out before its run
    // ended would hold the user until the bound.
    void aRunLetsOutWhatItHasRead()
    {
        std::mutex mutex;
        std::condition_variable changed;
        std::size_t taken = 0;
        std::atomic<bool> timedOut {false};
        std::atomic<std::size_t> runs {0};
        TWatchdog watchdog;
        TReadQueue<TSlot> queue(
            300, [&](std::size_t index, TSlot &slot, TNoReaderState &) { slot.item = index; }, 2, 64,
            [&](std::size_t first, std::size_t count, TSlot *const *into, TNoReaderState &,
                const TReadQueue<TSlot>::TReady &ready) {
                ++runs;
                for (std::size_t i = 0; i < count; ++i) {
                    // Once timed out, the test has failed: the rest goes on
                    // unheld.
                    if (i == count - 1 && !timedOut) {
                        std::unique_lock lock(mutex);
                        if (!changed.wait_for(lock, std::chrono::seconds(5), [&] { return taken > first; }))
                            timedOut = true;
                    }
                    into[i]->item = first + i;
                    ready(i + 1);
                }
            },
            8);
        for (std::size_t i = 0; i < 300; ++i) {
            QCOMPARE(queue.Take(i).item, i);
            {
                std::lock_guard lock(mutex);
                taken = i + 1;
            }
            changed.notify_all();
            queue.Done(i);
        }
        QVERIFY(!timedOut);
        QVERIFY(runs.load() > 0);
    }

    // A stop ends the user's wait for a read that hangs, however many
    // readers have joined.
    void stopEndsTheWait()
    {
        std::atomic<bool> release {false};
        std::atomic<bool> stop {false};
        TReadQueue<TSlot> queue(
            4,
            [&](std::size_t, TSlot &, TNoReaderState &) {
                while (!release)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            },
            16, 4);
        // The stop comes once the user waits.
        queue.OnWait([&](std::size_t) { stop = true; });
        QVERIFY(!queue.Take(0, &stop));
        release = true;
    }
};

QVL_TEST_CORE_MAIN(ReadQueueTest)
#include "ReadQueueTest.moc"
