#include "app/DeleteMsgForm.h"

#include "app/DialogForms.h"
#include "app/QvlModalResult.h"
#include "ui_DeleteMsgForm.h"

#include <QLabel>
#include <QPushButton>

#include <algorithm>

TDeleteBox *DeleteBox = nullptr;

namespace {
constexpr int kMargin = 10;           // beside the wider line
constexpr int kButtonsBelowText = 22; // from the second line to the buttons
constexpr int kBottomGap = 10;        // from the buttons to the bottom edge
}

TDeleteBox::TDeleteBox(QWidget *parent)
    : QDialog(parent), ui(new Ui::TDeleteBox)
{
    ui->setupUi(this);
    m_designHeight = height();
    DialogForms::SetUp(this, {ui->Label1, ui->Label2}, {ui->ContinueBtn, ui->CancelBitBtn});
    connect(ui->ContinueBtn, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(ui->CancelBitBtn, &QPushButton::clicked, this, [this] { done(mrCancel); });
}

TDeleteBox::~TDeleteBox()
{
    delete ui;
}

void TDeleteBox::BitBtnCancelClick()
{
    done(mrCancel);
}

void TDeleteBox::FitClient()
{
    QLabel *line1 = ui->Label1;
    QLabel *line2 = ui->Label2;
    const int width1 = line1->fontMetrics().horizontalAdvance(line1->text());
    const int width2 = line2->fontMetrics().horizontalAdvance(line2->text());
    const int buttons = DialogForms::FitButtons(ui->ContinueBtn, ui->CancelBitBtn);
    const int width = std::max({width1, width2, buttons}) + 2 * kMargin;
    line1->setGeometry((width - width1) / 2, line1->y(), width1, line1->height());
    line2->setGeometry((width - width2) / 2, line2->y(), width2, line2->height());
    DialogForms::CentreButtons(width, ui->ContinueBtn, ui->CancelBitBtn);
    // The buttons keep their designed distance below the second line.
    const int below = line2->geometry().bottom() + 1 + kButtonsBelowText;
    // QDialog centres itself on the window as it shows.
    setFixedSize(width, std::max(m_designHeight, below + ui->ContinueBtn->height() + kBottomGap));
}

void TDeleteBox::reject()
{
    done(mrCancel);
}

void TDeleteBox::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    DialogForms::KeepAtBottom(this, {ui->ContinueBtn, ui->CancelBitBtn}, kBottomGap);
}
