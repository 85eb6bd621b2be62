#include "app/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>
#include <QWidget>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

} // namespace

TDesktopNotification::TDesktopNotification(QWidget *window) : QObject(window), m_window(window)
{
    QDBusConnection::sessionBus().connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                                          SLOT(OnActionInvoked(uint, QString)));
}

bool TDesktopNotification::Show(const QString &summary, const QString &body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusConnectionInterface *daemon = bus.isConnected() ? bus.interface() : nullptr;
    if (!daemon || (!daemon->isServiceRegistered(kService) &&
                    !daemon->activatableServiceNames().value().contains(kService)))
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    // "default" is the action of a click on the notification itself.
    call << QStringLiteral("Quorvel") << m_id << QStringLiteral("org.quorvel.Quorvel") << summary << body
         << QStringList {QStringLiteral("default"), QStringLiteral("Show Quorvel")}
         << QVariantMap {{QStringLiteral("desktop-entry"), QStringLiteral("org.quorvel.Quorvel")}} << -1;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<uint> reply = *w;
        if (!reply.isError())
            m_id = reply.value();
        w->deleteLater();
    });
    return true;
}

void TDesktopNotification::OnActionInvoked(uint id, const QString &action)
{
    if (id != m_id || m_id == 0 || action != QLatin1String("default"))
        return;
    if (m_window->isMinimized())
        m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
}
