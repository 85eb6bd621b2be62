#include "app/QvlApplication.h"

#include <QMessageBox>

namespace {
QString &TitleText()
{
    static QString title;
    return title;
}
} // namespace

TQvlApplication::TQvlApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
}

bool TQvlApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowException(std::current_exception());
    }
    return false;
}

QString TQvlApplication::Title()
{
    return TitleText();
}

void TQvlApplication::SetTitle(const QString &title)
{
    TitleText() = title;
}

QString ErrorBoxText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void ShowErrorBox(const QString &message)
{
    QMessageBox box(QMessageBox::Critical, TQvlApplication::Title(), ErrorBoxText(message),
                    QMessageBox::Ok);
    box.exec();
}

void ShowException(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const EAbort &) {
    } catch (const std::exception &e) {
        ShowErrorBox(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowErrorBox(QString());
    }
}
