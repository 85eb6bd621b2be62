#include "tests/common/QvlTestMain.h"
#include "platform/StopSignals.h"

#include <QSignalSpy>

#include <atomic>
#include <csignal>
#include <pthread.h>

namespace {

std::atomic<int> g_caught {0};

extern "C" void Caught(int signalNumber)
{
    g_caught.store(signalNumber);
}

bool IsDefault(int signalNumber)
{
    struct sigaction sa {};
    ::sigaction(signalNumber, nullptr, &sa);
    return sa.sa_handler == SIG_DFL;
}

} // namespace

class StopSignalsTest : public QObject
{
    Q_OBJECT

private slots:
    void eachStopSignalCallsTheHandler_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void eachStopSignalCallsTheHandler()
    {
        QFETCH(int, signalNumber);
        g_caught = 0;
        CatchStopSignals(Caught);
        ::raise(signalNumber);
        QCOMPARE(g_caught.load(), signalNumber);
        std::signal(signalNumber, SIG_DFL);
    }

    // A parent that started the program with a stop signal blocked, and
    // sent one before the program was ready: it arrives when the signals
    // are caught, as a call of the handler.
    void aStopHeldBackByTheMaskArrivesOnceCaught()
    {
        g_caught = 0;
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGTERM);
        QCOMPARE(::pthread_sigmask(SIG_BLOCK, &set, nullptr), 0);
        ::raise(SIGTERM);
        QCOMPARE(g_caught.load(), 0);
        CatchStopSignals(Caught);
        QCOMPARE(g_caught.load(), int(SIGTERM));
        sigset_t now;
        QCOMPARE(::pthread_sigmask(SIG_BLOCK, nullptr, &now), 0);
        QVERIFY(!sigismember(&now, SIGTERM));
        for (int s : {SIGINT, SIGTERM, SIGHUP})
            std::signal(s, SIG_DFL);
    }

    void notifierDeliversOnTheEventLoopAndRestoresTheDefaults()
    {
        {
            TStopSignalNotifier notifier;
            QVERIFY(notifier.IsActive());
            // One notifier at a time: a second one stays idle.
            TStopSignalNotifier second;
            QVERIFY(!second.IsActive());
            QSignalSpy spy(&notifier, &TStopSignalNotifier::stopRequested);
            ::raise(SIGTERM);
            ::raise(SIGHUP);
            QTRY_COMPARE(spy.count(), 2);
            QCOMPARE(spy.at(0).at(0).toInt(), int(SIGTERM));
            QCOMPARE(spy.at(1).at(0).toInt(), int(SIGHUP));
        }
        for (int s : {SIGINT, SIGTERM, SIGHUP})
            QVERIFY(IsDefault(s));
    }
};

QVL_TEST_CORE_MAIN(StopSignalsTest)
#include "StopSignalsTest.moc"
