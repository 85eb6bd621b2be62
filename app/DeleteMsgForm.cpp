#include "DeleteMsgForm.h"

#include "DialogForms.h"
#include "QvlModalResult.h"
#include "ui_DeleteMsgForm.h"

#include <QPushButton>

TDeleteBox *DeleteBox = nullptr;

TDeleteBox::TDeleteBox(QWidget *parent)
    : QDialog(parent), ui(new Ui::TDeleteBox)
{
    ui->setupUi(this);
    DialogForms::SetUp(this, {ui->Label1, ui->Label2});
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

void TDeleteBox::reject()
{
    done(mrCancel);
}

void TDeleteBox::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    DialogForms::KeepAtBottom(this, {ui->ContinueBtn, ui->CancelBitBtn}, 10);
}
