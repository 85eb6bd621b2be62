#include "CancelMessageForm.h"

#include "DialogForms.h"
#include "QvlModalResult.h"
#include "ui_CancelMessageForm.h"

#include <QCheckBox>
#include <QPushButton>

TCancelForm *CancelForm = nullptr;

TCancelForm::TCancelForm(QWidget *parent)
    : QDialog(parent), ui(new Ui::TCancelForm)
{
    ui->setupUi(this);
    DialogForms::SetUp(this, {ui->Label1});
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

void TCancelForm::reject()
{
    done(mrCancel);
}

void TCancelForm::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    DialogForms::KeepAtBottom(this, {ui->ContinueBtn, ui->CancelBitBtn}, 10);
}
