// "Confirm Cancellation": asked while a run is held after Cancel. Created
// once at start-up and reused for every run.
#pragma once

#include <QDialog>

namespace Ui { class TCancelForm; }

class TCancelForm : public QDialog
{
    Q_OBJECT
public:
    explicit TCancelForm(QWidget *parent = nullptr);
    ~TCancelForm() override;

    // Checking "Cancel and delete matching files so far" leaves Cancel as
    // the only way on.
    void CheckBoxDeleteOnCancelClick();

    void reject() override;

    Ui::TCancelForm *ui;

protected:
    void resizeEvent(QResizeEvent *event) override;
};

extern TCancelForm *CancelForm;
