#include "controls/foldertree/detail/DesktopBus.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QMap>
#include <QVariantMap>

#include <functional>

namespace {

const QString FileManagerService = QStringLiteral("org.freedesktop.FileManager1");
const QString FileManagerPath = QStringLiteral("/org/freedesktop/FileManager1");

const QString UdisksService = QStringLiteral("org.freedesktop.UDisks2");
const QString UdisksRoot = QStringLiteral("/org/freedesktop/UDisks2");
const QString UdisksBlock = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString UdisksFilesystem = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString UdisksDrive = QStringLiteral("org.freedesktop.UDisks2.Drive");

// A file manager that is started on demand may take a moment to answer.
constexpr int FileManagerTimeoutMs = 10000;
// udisks2 answers this from memory; a daemon that does not is treated as
// absent rather than holding the menu up.
constexpr int UdisksQueryTimeoutMs = 3000;
// Unmounting flushes the drive's data first; the answer is only awaited in
// the background.
constexpr int UdisksActionTimeoutMs = 10 * 60 * 1000;

// Whether `name` has an owner on the bus now, or (with `startable`) the bus
// would start one for it.
bool ServiceAvailable(const QDBusConnection &bus, const QString &name, bool startable)
{
    if (!bus.isConnected())
        return false;
    QDBusConnectionInterface *daemon = bus.interface();
    if (!daemon)
        return false;
    const QDBusReply<bool> registered = daemon->isServiceRegistered(name);
    if (registered.isValid() && registered.value())
        return true;
    if (!startable)
        return false;
    const QDBusReply<QStringList> names = daemon->activatableServiceNames();
    return names.isValid() && names.value().contains(name);
}

using TInterfaces = QMap<QString, QVariantMap>;

// The mount points of a Filesystem interface: NUL-terminated byte strings.
QList<QByteArray> MountPointsOf(const QVariantMap &filesystem)
{
    QList<QByteArray> points = qdbus_cast<QList<QByteArray>>(filesystem.value(QStringLiteral("MountPoints")));
    for (QByteArray &p : points)
        if (p.endsWith('\0'))
            p.chop(1);
    return points;
}

// Sends a udisks2 method call without waiting; `then` runs on this thread
// with whether udisks2 answered without an error.
void CallUdisks(const QString &path, const QString &interface, const QString &method,
                std::function<void(bool ok)> then = {})
{
    QDBusConnection bus = QDBusConnection::systemBus();
    QDBusMessage call = QDBusMessage::createMethodCall(UdisksService, path, interface, method);
    call << QVariantMap();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, UdisksActionTimeoutMs), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [then = std::move(then)](QDBusPendingCallWatcher *w) {
                         if (then)
                             then(!w->isError());
                         w->deleteLater();
                     });
}

} // namespace

bool FileManagerShowItems(const QStringList &uris)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (uris.isEmpty() || !ServiceAvailable(bus, FileManagerService, true))
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(FileManagerService, FileManagerPath, FileManagerService,
                                                      QStringLiteral("ShowItems"));
    call << uris << QString(); // no start-up notification id
    return bus.call(call, QDBus::Block, FileManagerTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

TUdisksVolume FindUdisksVolume(const QByteArray &mountPoint)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (mountPoint.isEmpty() || !ServiceAvailable(bus, UdisksService, false))
        return {};
    const QDBusMessage call = QDBusMessage::createMethodCall(UdisksService, UdisksRoot,
                                                            QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                                            QStringLiteral("GetManagedObjects"));
    const QDBusMessage reply = bus.call(call, QDBus::Block, UdisksQueryTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};

    // a{oa{sa{sv}}}: every object with its interfaces and their properties.
    QMap<QString, TInterfaces> objects;
    const QDBusArgument all = reply.arguments().first().value<QDBusArgument>();
    all.beginMap();
    while (!all.atEnd()) {
        QDBusObjectPath path;
        TInterfaces interfaces;
        all.beginMapEntry();
        all >> path >> interfaces;
        all.endMapEntry();
        objects.insert(path.path(), interfaces);
    }
    all.endMap();

    for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
        const TInterfaces &interfaces = it.value();
        if (!interfaces.contains(UdisksFilesystem) || !MountPointsOf(interfaces[UdisksFilesystem]).contains(mountPoint))
            continue;
        TUdisksVolume volume;
        volume.block = it.key();
        const QString drive = interfaces[UdisksBlock].value(QStringLiteral("Drive")).value<QDBusObjectPath>().path();
        if (drive != QLatin1String("/") && objects.contains(drive)) {
            volume.drive = drive;
            volume.ejectable = objects[drive][UdisksDrive].value(QStringLiteral("Ejectable")).toBool();
        }
        return volume;
    }
    return {};
}

bool UdisksUnmount(const TUdisksVolume &volume)
{
    if (!volume.Known() || !QDBusConnection::systemBus().isConnected())
        return false;
    CallUdisks(volume.block, UdisksFilesystem, QStringLiteral("Unmount"));
    return true;
}

bool UdisksEject(const TUdisksVolume &volume)
{
    if (!volume.Known() || volume.drive.isEmpty() || !volume.ejectable || !QDBusConnection::systemBus().isConnected())
        return false;
    const QString drive = volume.drive;
    CallUdisks(volume.block, UdisksFilesystem, QStringLiteral("Unmount"), [drive](bool unmounted) {
        if (unmounted)
            CallUdisks(drive, UdisksDrive, QStringLiteral("Eject"));
    });
    return true;
}
