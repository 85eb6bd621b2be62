// The reader pool: items come out in order whatever order their reads end
// in; it starts with few readers and takes on more while its user waits, so
// reads that hang (a slow disk) do not hold up the ones behind them.
#include "platform/ReadQueue.h"

#include "tests/common/QvlTestMain.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <thread>

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

    // A user waiting without a stop flag sleeps until it is woken: it must
    // be woken whatever order the reads end in, however few places there
    // are ahead, and at the end of the list. A missed wake hangs the test,
    // so a watchdog ends it then.
    void waitingUserIsAlwaysWoken()
    {
        std::mutex watchMutex;
        std::condition_variable watchCv;
        bool finished = false;
        std::thread watchdog([&] {
            std::unique_lock lock(watchMutex);
            if (!watchCv.wait_for(lock, std::chrono::seconds(60), [&] { return finished; })) {
                std::fprintf(stderr, "FAIL: a waiting user was never woken\n");
                std::_Exit(1);
            }
        });
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
        {
            std::lock_guard lock(watchMutex);
            finished = true;
        }
        watchCv.notify_all();
        watchdog.join();
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
