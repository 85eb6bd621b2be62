#include "app/QvlAbout.h"

#include "app/QvlMain.h"
#include "app/QvlPictures.h"
#include "app/Quorvellogo.h"
#include "ui_QvlAbout.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

TAboutForm *AboutForm = nullptr;

TAboutForm::TAboutForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ui(new Ui::TAboutForm)
{
    ui->setupUi(this);
    setFixedSize(308, 173);
    ui->Image2->setPixmap(QuorvelWordmarkPixmap(131, 35));
    // The logo is 64 pixels in a frame of 70; the frame's own image stays 64.
    QPalette link = ui->LabelLink->palette();
    link.setColor(QPalette::WindowText, Qt::blue);
    ui->LabelLink->setPalette(link);
    QFont underlined = ui->LabelLink->font();
    underlined.setUnderline(true);
    ui->LabelLink->setFont(underlined);
    ui->LabelLink->setText(QString::fromLatin1(kQuorvelHomePage));
    ui->LabelLink->installEventFilter(this);
    connect(ui->ButtonOk, &QPushButton::clicked, this, &TAboutForm::ButtonOkClick);
    FormCreate();
}

TAboutForm::~TAboutForm()
{
    delete ui;
}

void TAboutForm::FormCreate()
{
    // A value follows its caption at the caption's own width, whatever the
    // desktop font makes of it.
    auto follow = [](QLabel *caption, QLabel *value) {
        caption->adjustSize();
        value->adjustSize();
        const int x = std::max(value->x(), caption->x() + caption->width() + 6);
        value->move(x, value->y());
    };
    if (MainForm)
        ui->LabelVersion->setText(MainForm->GetVersionValue(QStringLiteral("FileVersion")));
    follow(ui->Label3, ui->LabelVersion);
    follow(ui->Label7, ui->LabelLink);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TAboutForm::ButtonOkClick()
{
    accept();
}

void TAboutForm::LabelLinkClick()
{
    OpenHomePage();
}

bool TAboutForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->LabelLink && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
        LabelLinkClick();
    return QDialog::eventFilter(watched, event);
}
