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
    // Sizes the dialog to the texts its labels and buttons hold now: as wide
    // as the wider line + 20 pixels (or as the buttons need), each line
    // centred, and as high as designed or as the buttons need.
    void FitClient();

    Ui::TDeleteBox *ui;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    int m_designHeight;
};

extern TDeleteBox *DeleteBox;
