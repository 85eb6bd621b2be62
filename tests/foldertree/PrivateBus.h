// A D-Bus of the test's own, and fakes of the desktop services on it. The
// test process runs itself again inside dbus-run-session with a bus that can
// start nothing (private-bus.conf), and the system bus is pointed at that
// same bus: whatever the code under test asks of the file manager or of
// udisks2 reaches only the fakes below, never the desktop or the machine.
#pragma once

#include <QDBusAbstractInterface>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QMutex>
#include <QSemaphore>
#include <QThread>
#include <QVariantMap>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

namespace QvlTest {

// Runs first in main: either execs the test inside dbus-run-session, or,
// already inside it, points the system bus at the private one.
inline void RunOnPrivateBus(int argc, char **argv)
{
    static const char Marker[] = "QVL_TEST_ON_PRIVATE_BUS";
    if (const char *inside = std::getenv(Marker); inside && *inside) {
        const char *address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        if (!address || !*address) {
            std::fprintf(stderr, "no private bus address\n");
            std::exit(2);
        }
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address, 1);
        return;
    }
    ::setenv(Marker, "1", 1);
    std::string config = std::string("--config-file=") + QVL_SOURCE_DIR + "/tests/foldertree/private-bus.conf";
    std::vector<char *> args {const_cast<char *>("dbus-run-session"), config.data(), const_cast<char *>("--")};
    for (int i = 0; i < argc; ++i)
        args.push_back(argv[i]);
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    std::fprintf(stderr, "cannot run dbus-run-session (package dbus-daemon): %s\n", std::strerror(errno));
    std::exit(2);
}

// One method call a fake received.
struct TFakeCall {
    QString path;
    QString interface;
    QString member;
    QVariantList arguments;
};

// Fakes of org.freedesktop.FileManager1 and of udisks2, answered on a thread
// of their own: the code under test waits for its answers on the window
// thread, where a fake could never answer. Configure, then Start().
class TFakeDesktop : public QThread
{
public:
    struct TVolume {
        QByteArray mountPoint;
        bool ejectable = false;
        bool busy = false; // unmounting fails, as with files open on it
    };

    bool fileManager = false;    // owns org.freedesktop.FileManager1
    bool udisks = false;         // owns org.freedesktop.UDisks2
    std::vector<TVolume> volumes; // the mounted file systems udisks2 reports

    ~TFakeDesktop() override
    {
        quit();
        wait();
    }

    void Start()
    {
        start();
        m_ready.acquire();
    }

    QList<TFakeCall> Calls() const
    {
        QMutexLocker locked(&m_lock);
        return m_calls;
    }

    static QString BlockPath(std::size_t i) { return QStringLiteral("/org/freedesktop/UDisks2/block_devices/fake%1").arg(i); }
    static QString DrivePath(std::size_t i) { return QStringLiteral("/org/freedesktop/UDisks2/drives/Fake%1").arg(i); }

protected:
    void run() override
    {
        using TInterfaces = QMap<QString, QVariantMap>;
        using TObjects = QMap<QDBusObjectPath, TInterfaces>;
        qDBusRegisterMetaType<QList<QByteArray>>();
        qDBusRegisterMetaType<TInterfaces>();
        qDBusRegisterMetaType<TObjects>();

        static std::atomic<int> serial {0};
        const QString name = QStringLiteral("fake-desktop-%1").arg(++serial);
        {
            QDBusConnection bus = QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), name);
            TObject fileManagerObject(*this, [](const QDBusMessage &m) { return m.createReply(); });
            TObject udisksObject(*this, [this](const QDBusMessage &m) {
                if (m.member() == QLatin1String("Unmount")) {
                    for (std::size_t i = 0; i < volumes.size(); ++i)
                        if (m.path() == BlockPath(i) && volumes[i].busy)
                            return m.createErrorReply(QStringLiteral("org.freedesktop.UDisks2.Error.DeviceBusy"),
                                                      QStringLiteral("target is busy"));
                }
                if (m.member() != QLatin1String("GetManagedObjects"))
                    return m.createReply();
                TObjects objects;
                // Something udisks2 always has: a disk without a file system.
                objects[QDBusObjectPath("/org/freedesktop/UDisks2/block_devices/whole")]
                       [QStringLiteral("org.freedesktop.UDisks2.Block")]
                           .insert(QStringLiteral("Drive"), QVariant::fromValue(QDBusObjectPath("/")));
                for (std::size_t i = 0; i < volumes.size(); ++i) {
                    TInterfaces &block = objects[QDBusObjectPath(BlockPath(i))];
                    block[QStringLiteral("org.freedesktop.UDisks2.Block")].insert(
                        QStringLiteral("Drive"), QVariant::fromValue(QDBusObjectPath(DrivePath(i))));
                    block[QStringLiteral("org.freedesktop.UDisks2.Filesystem")].insert(
                        QStringLiteral("MountPoints"),
                        QVariant::fromValue(QList<QByteArray> {volumes[i].mountPoint + '\0'}));
                    objects[QDBusObjectPath(DrivePath(i))][QStringLiteral("org.freedesktop.UDisks2.Drive")].insert(
                        QStringLiteral("Ejectable"), volumes[i].ejectable);
                }
                return m.createReply(QVariantList {QVariant::fromValue(objects)});
            });
            if (fileManager) {
                bus.registerVirtualObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManagerObject);
                bus.registerService(QStringLiteral("org.freedesktop.FileManager1"));
            }
            if (udisks) {
                bus.registerVirtualObject(QStringLiteral("/org/freedesktop/UDisks2"), &udisksObject,
                                          QDBusConnection::SubPath);
                bus.registerService(QStringLiteral("org.freedesktop.UDisks2"));
            }
            m_ready.release();
            exec();
            // Names go before this thread's objects do.
            bus.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
            bus.unregisterService(QStringLiteral("org.freedesktop.UDisks2"));
            bus.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
            bus.unregisterObject(QStringLiteral("/org/freedesktop/UDisks2"), QDBusConnection::UnregisterTree);
        }
        QDBusConnection::disconnectFromBus(name);
    }

private:
    // Records every call and sends the answer `answer` makes for it.
    class TObject : public QDBusVirtualObject
    {
    public:
        TObject(TFakeDesktop &owner, std::function<QDBusMessage(const QDBusMessage &)> answer)
            : m_owner(owner), m_answer(std::move(answer))
        {
        }
        QString introspect(const QString &) const override { return {}; }
        bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
        {
            {
                QMutexLocker locked(&m_owner.m_lock);
                m_owner.m_calls.push_back({message.path(), message.interface(), message.member(), message.arguments()});
            }
            connection.send(m_answer(message));
            return true;
        }

    private:
        TFakeDesktop &m_owner;
        std::function<QDBusMessage(const QDBusMessage &)> m_answer;
    };

    QSemaphore m_ready;
    mutable QMutex m_lock;
    QList<TFakeCall> m_calls;
};

} // namespace QvlTest
