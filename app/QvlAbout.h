// The about box: the logo, the version read at start-up, the home page.
#pragma once

#include <QDialog>

namespace Ui { class TAboutForm; }

class TAboutForm : public QDialog
{
    Q_OBJECT
public:
    explicit TAboutForm(QWidget *parent = nullptr);
    ~TAboutForm() override;

    void FormCreate();
    void ButtonOkClick();
    void LabelLinkClick();

    Ui::TAboutForm *ui;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

extern TAboutForm *AboutForm;
