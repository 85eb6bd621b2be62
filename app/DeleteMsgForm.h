// The two-line confirmation: "Confirm Delete" before matching files are
// deleted, "Confirm Continue" for the drive check at Start. Created once at
// start-up; every use sets its own texts.
#pragma once

#include <QDialog>

namespace Ui { class TDeleteBox; }

class TDeleteBox : public QDialog
{
    Q_OBJECT
public:
    explicit TDeleteBox(QWidget *parent = nullptr);
    ~TDeleteBox() override;

    void BitBtnCancelClick();
    void reject() override;

    Ui::TDeleteBox *ui;

protected:
    void resizeEvent(QResizeEvent *event) override;
};

extern TDeleteBox *DeleteBox;
