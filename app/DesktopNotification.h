// A desktop notification (freedesktop.org Notifications over the session
// bus) that brings the window back when clicked. Without a notification
// server nothing is shown and nothing waits.
#pragma once

#include <QObject>
#include <QString>

class QWidget;

class TDesktopNotification : public QObject
{
    Q_OBJECT
public:
    explicit TDesktopNotification(QWidget *window);

    // Shows `body` under `summary`, in place of the one shown before; false
    // when no notification server runs. Does not wait for the server.
    bool Show(const QString &summary, const QString &body);

private slots:
    void OnActionInvoked(uint id, const QString &action);

private:
    QWidget *m_window;
    uint m_id = 0; // the server's id of the notification shown last
};
