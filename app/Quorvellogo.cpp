#include "app/Quorvellogo.h"

#include "app/QvlPictures.h"
#include "ui_Quorvellogo.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>

TFrameQvlLogo *FrameQvlLogo = nullptr;

namespace {
TUrlOpener &UrlOpener()
{
    static TUrlOpener opener;
    return opener;
}
} // namespace

void OpenHomePage()
{
    const QUrl url(QString::fromLatin1(kQuorvelHomePage));
    if (UrlOpener())
        UrlOpener()(url);
    else
        QDesktopServices::openUrl(url);
}

void SetUrlOpener(TUrlOpener opener)
{
    UrlOpener() = std::move(opener);
}

TFrameQvlLogo::TFrameQvlLogo(QWidget *parent)
    : QFrame(parent), ui(new Ui::TFrameQvlLogo)
{
    ui->setupUi(this);
    ui->LogoImage->setPixmap(QuorvelLogoPixmap(128));
    ui->LogoImage->installEventFilter(this);
}

TFrameQvlLogo::~TFrameQvlLogo()
{
    delete ui;
}

void TFrameQvlLogo::LogoImageClick()
{
    OpenHomePage();
}

void TFrameQvlLogo::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        LogoImageClick();
        event->accept();
        return;
    default:
        QFrame::keyPressEvent(event);
    }
}

bool TFrameQvlLogo::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->LogoImage && event->type() == QEvent::MouseButtonRelease) {
        const auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::LeftButton && ui->LogoImage->rect().contains(me->position().toPoint()))
            LogoImageClick();
    }
    return QFrame::eventFilter(watched, event);
}
