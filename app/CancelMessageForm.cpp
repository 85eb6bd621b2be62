#include "app/CancelMessageForm.h"

#include "app/DialogForms.h"
#include "app/QvlModalResult.h"
#include "ui_CancelMessageForm.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

TCancelForm *CancelForm = nullptr;

namespace {
// The buttons' distance from the bottom edge.
constexpr int kBottomGap = 10;
}

TCancelForm::TCancelForm(QWidget *parent)
    : QDialog(parent), ui(new Ui::TCancelForm)
{
    ui->setupUi(this);
    m_designWidth = width();
    DialogForms::SetUp(this, {ui->Label1}, {ui->ContinueBtn, ui->CancelBitBtn});
    connect(ui->ContinueBtn, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(ui->CancelBitBtn, &QPushButton::clicked, this, [this] { done(mrCancel); });
    connect(ui->CheckBoxDeleteOnCancel, &QCheckBox::clicked, this, &TCancelForm::CheckBoxDeleteOnCancelClick);
}

TCancelForm::~TCancelForm()
{
    delete ui;
}

void TCancelForm::CheckBoxDeleteOnCancelClick()
{
    ui->ContinueBtn->setEnabled(!ui->CheckBoxDeleteOnCancel->isChecked());
}

void TCancelForm::FitClient(int height)
{
    QLabel *label = ui->Label1;
    QCheckBox *box = ui->CheckBoxDeleteOnCancel;
    const int margin = box->x();
    // The designed 13-pixel font and the platform's font are often taller
    // and wider than the design allowed for.
    label->resize(label->width(), std::max(label->height(), label->sizeHint().height()));
    box->resize(box->width(), std::max(box->height(), box->sizeHint().height()));
    const int textWidth = std::max(label->fontMetrics().horizontalAdvance(label->text()), box->sizeHint().width());
    const int buttonsWidth = DialogForms::FitButtons(ui->ContinueBtn, ui->CancelBitBtn);
    const int width = std::max({m_designWidth, textWidth + 2 * margin, buttonsWidth + 2 * margin});
    DialogForms::CentreButtons(width, ui->ContinueBtn, ui->CancelBitBtn);
    label->setGeometry(0, label->y(), width, label->height());
    box->setGeometry(margin, box->y(), width - 2 * margin, box->height());

    // The buttons keep their distance below the texts as designed: 16
    // pixels under the check box, 30 under the label alone.
    const int above = box->isHidden() ? label->geometry().bottom() + 1 + 30 : box->geometry().bottom() + 1 + 16;
    setFixedSize(width, std::max(height, above + ui->ContinueBtn->height() + kBottomGap));
}

void TCancelForm::reject()
{
    done(mrCancel);
}

void TCancelForm::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    DialogForms::KeepAtBottom(this, {ui->ContinueBtn, ui->CancelBitBtn}, kBottomGap);
}
