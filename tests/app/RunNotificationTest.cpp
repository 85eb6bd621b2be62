// The desktop notification at the end of a long run, on a session bus of
// the test's own with a notification server that records what it is sent.
// The run's clock is the test's: no test waits ten seconds.
#include "tests/foldertree/PrivateBus.h"
#define QVL_TEST_PREPARE(argc, argv) QvlTest::RunOnPrivateBus(argc, argv)
#include "tests/app/MainFormFixture.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include "app/QvlMainRun.h"

#include <QDBusConnection>
#include <QDBusMessage>

using QvlTest::MainFormFixture;

namespace {

// org.freedesktop.Notifications, answered on a thread of its own.
class TNotificationServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct TCall {
        QString summary, body;
        QStringList actions;
    };
    QMutex mutex;
    std::vector<TCall> calls;

public slots:
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &, int)
    {
        QMutexLocker lock(&mutex);
        calls.push_back({summary, body, actions});
        return 7;
    }
};

class TServerThread : public QThread
{
public:
    TNotificationServer *server = nullptr;
    QSemaphore ready;
    QDBusConnection connection {QString()};

    ~TServerThread() override
    {
        quit();
        wait();
    }

    void run() override
    {
        connection = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-notifications"));
        TNotificationServer object;
        server = &object;
        connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &object,
                                  QDBusConnection::ExportAllSlots);
        connection.registerService(QStringLiteral("org.freedesktop.Notifications"));
        ready.release();
        exec();
        connection.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        server = nullptr;
    }
    std::vector<TNotificationServer::TCall> Calls()
    {
        QMutexLocker lock(&server->mutex);
        return server->calls;
    }
    void Click(uint id)
    {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                         QStringLiteral("org.freedesktop.Notifications"),
                                                         QStringLiteral("ActionInvoked"));
        signal << id << QStringLiteral("default");
        connection.send(signal);
    }
};

} // namespace

class RunNotificationTest : public QObject
{
    Q_OBJECT

    QvlTest::TempTree tree;

    // One run of the three matching pairs, `seconds` long by the run's
    // clock, with the window active or not.
    static void RunFor(MainFormFixture &f, const QvlTest::TempTree &tree, int seconds, bool active)
    {
        TRunEnvironment &env = f.form->RunControl->Environment();
        QTime now(12, 0, 0);
        env.Clock = [&now] { return now; };
        env.WindowActive = [active] { return active; };
        QVERIFY(f.StartRun(tree.path("src"), tree.path("dst")));
        now = now.addSecs(seconds);
        QVERIFY(f.WaitForRunEnd());
        env.Clock = [] { return QTime::currentTime(); };
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        for (const char *name : {"a", "b", "c"}) {
            QVERIFY(tree.createFile(std::string("src/") + name, name));
            QVERIFY(tree.createFile(std::string("dst/") + name, name));
        }
    }

    // No server on the bus: nothing is sent and the run ends as always.
    void noServerNoNotification()
    {
        MainFormFixture f;
        RunFor(f, tree, 60, false);
        QVERIFY(!f.boxes.empty()); // "Operation Completed!"
    }

    // Sent only for a long run that ends behind other windows; a click on it
    // brings the window back.
    void longRunBehindOtherWindowsIsNotified()
    {
        TServerThread server;
        server.start();
        server.ready.acquire();
        MainFormFixture f;

        RunFor(f, tree, 9, false);   // short
        RunFor(f, tree, 60, true);   // window in front
        // Whatever the window sent has been handled once a later call from
        // the same connection has been answered.
        const QDBusMessage ping = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("GetCapabilities")));
        QCOMPARE(ping.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(server.Calls().size(), std::size_t(0));

        RunFor(f, tree, 10, false);
        QTRY_COMPARE(server.Calls().size(), std::size_t(1));
        QCOMPARE(server.Calls()[0].summary, QStringLiteral("Quorvel"));
        QCOMPARE(server.Calls()[0].body, QStringLiteral("All 3 files match"));
        QVERIFY(server.Calls()[0].actions.contains(QStringLiteral("default")));

        f.form->showMinimized();
        QTRY_VERIFY(f.form->isMinimized());
        // The window learns the notification's id from the server's reply,
        // which may come after the server has recorded the call: a click is
        // repeated until the window has it.
        QVERIFY(QTest::qWaitFor([&] {
            server.Click(7);
            QCoreApplication::processEvents();
            return !f.form->isMinimized();
        }));

    }

    void verdictTexts()
    {
        VerifyCounters c;
        c.files = c.filesChecked = c.same = 12345;
        QCOMPARE(RunVerdictText(c, false), QStringLiteral("All 12,345 files match"));
        c.different = 3;
        c.missing = 1;
        QCOMPARE(RunVerdictText(c, false), QStringLiteral("3 files differ, 1 file missing"));
        c = {};
        c.files = 10;
        c.filesChecked = 4;
        QCOMPARE(RunVerdictText(c, true), QStringLiteral("Verify canceled after 4 files"));
    }
};

QVL_TEST_MAIN(RunNotificationTest)
#include "RunNotificationTest.moc"
