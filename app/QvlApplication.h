// The application object: its title (the caption of the last-resort error
// box), and the message loop's last line of defence, which shows an error that
// escaped an event handler and lets the program go on.
#pragma once

#include <QApplication>
#include <QString>

#include <exception>
#include <functional>

// Thrown to leave a handler silently: the message loop ignores it.
class EAbort : public std::exception
{
public:
    const char *what() const noexcept override { return ""; }
};

class TQvlApplication : public QApplication
{
    Q_OBJECT
public:
    TQvlApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // The title is the program's name for the user where no window caption
    // applies; it is held here rather than as Qt's display name, which Qt
    // would append to every window caption.
    static QString Title();
    static void SetTitle(const QString &title);
};

// The error box's text: the message, with "." appended when it is not empty
// and its last character comes after "." (no full stop after ".", "!", ")", ",").
QString ErrorBoxText(const QString &message);

// Shows the last-resort error box: ErrorBoxText(message), the title as
// caption, the stop icon and OK.
void ShowErrorBox(const QString &message);

// Shows what an escaped exception says (nothing for EAbort).
void ShowException(const std::exception_ptr &error);
