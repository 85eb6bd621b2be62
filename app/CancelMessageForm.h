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
    // Sizes the dialog for its next showing: `height` pixels high (97
    // designed without the check box, 115 with it) and as wide as designed,
    // or more wherever a text needs more room in the platform's font.
    void FitClient(int height);

    void reject() override;

    Ui::TCancelForm *ui;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    int m_designWidth;
};

extern TCancelForm *CancelForm;
