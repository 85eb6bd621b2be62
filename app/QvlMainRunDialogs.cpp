// TRunControl: the dialogs of a run. Cancel holds the worker while it asks;
// the two-line confirmation serves the drive check at Start and the delete
// confirmation at the end of the comparison.
#include "app/QvlMainRun.h"

#include "app/CancelMessageForm.h"
#include "app/DeleteMsgForm.h"
#include "app/DialogForms.h"
#include "app/PathText.h"
#include "app/QvlMain.h"
#include "app/QvlModalResult.h"
#include "ui_CancelMessageForm.h"
#include "ui_DeleteMsgForm.h"

#include "engine/InfoThread.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

#include <algorithm>

TCancelForm *TRunControl::CancelDialog()
{
    if (CancelForm && CancelForm->parent() == &m_form)
        return CancelForm;
    if (!m_ownCancelForm)
        m_ownCancelForm = new TCancelForm(&m_form);
    return m_ownCancelForm;
}

TDeleteBox *TRunControl::DeleteDialog()
{
    if (DeleteBox && DeleteBox->parent() == &m_form)
        return DeleteBox;
    if (!m_ownDeleteBox)
        m_ownDeleteBox = new TDeleteBox(&m_form);
    return m_ownDeleteBox;
}

// ------------------------------------------------------------------ cancel

void TRunControl::CancelBitBtnClick()
{
    if (!Running())
        return; // the run has ended; its completion is on its way
    FlushDisplay();
    AddWindowLine(QStringLiteral(" Verify operation paused."));
    m_worker->Pause();

    TCancelForm *dialog = CancelDialog();
    QCheckBox *deleteSoFar = dialog->ui->CheckBoxDeleteOnCancel;
    deleteSoFar->setChecked(false);
    deleteSoFar->hide();
    dialog->CheckBoxDeleteOnCancelClick();
    dialog->FitClient(97);
    if (ui.Same->text() != QLatin1String("0") && m_deleteMode != DeleteMode::None) {
        deleteSoFar->show();
        dialog->FitClient(115);
    }
    // Enter goes on with the run, however the dialog was left the last time.
    DialogForms::OpenWith(dialog->ui->ContinueBtn);

    if (dialog->exec() == mrCancel) {
        AddWindowLine(QStringLiteral(" Verify operation canceled.")
                      + (deleteSoFar->isChecked() ? QStringLiteral(" Delete matching files so far selected.")
                                                  : QString()));
        m_runCanceled = true;
        m_worker->Terminate();
        m_worker->Continue();
    } else {
        AddWindowLine(QStringLiteral(" Verify operation continued."));
        deleteSoFar->setChecked(false);
        dialog->CheckBoxDeleteOnCancelClick();
        m_worker->Continue();
    }
}

bool TRunControl::DeleteOnCancelChecked()
{
    if (m_closing)
        return false;
    return CancelDialog()->ui->CheckBoxDeleteOnCancel->isChecked();
}

// ------------------------------------------------------------------ confirmations

bool TRunControl::AskDeleteBox(const QString &caption, const QString &line1, const QString &line2,
                               const QString &continueText, const QString *cancelText)
{
    TDeleteBox *box = DeleteDialog();
    Ui::TDeleteBox *form = box->ui;
    box->setWindowTitle(caption);
    form->Label1->setText(line1);
    form->Label2->setText(line2);
    form->ContinueBtn->setText(continueText);
    if (cancelText)
        form->CancelBitBtn->setText(*cancelText);

    box->FitClient();
    // Deleting, or going on with a deletion the drive cannot undo, takes a
    // deliberate click: Enter cancels.
    DialogForms::OpenWith(form->CancelBitBtn);

    return box->exec() == mrOk;
}

QString TRunControl::SideText(DeleteMode side, const std::string &path) const
{
    // The root file system's drive part is empty; the text names it "/".
    const std::string part = m_env.DrivePartOf(path);
    return (side == DeleteMode::Source ? QStringLiteral("Source drive ") : QStringLiteral("Target drive "))
        + FromPath(part.empty() ? std::string("/") : part);
}

bool TRunControl::ConfirmDelete(std::size_t count, DeleteMode side)
{
    if (m_closing)
        return false;
    const std::string &path = side == DeleteMode::Source ? m_runSource : m_runTarget;
    const QString line2 = QString::number(count) + QStringLiteral(" matching files from ")
        + SideText(side, path) + QLatin1Char('?');
    // A cue only: without a sound the desktop's beep stands in.
    if (!m_env.PlaySound || !m_env.PlaySound())
        QApplication::beep();
    const QString noCancel = QStringLiteral("No Cancel");
    return AskDeleteBox(QStringLiteral("Confirm Delete"), QStringLiteral("Are you sure you want to Delete"),
                        line2, QStringLiteral("Ok Delete"), &noCancel);
}

void TRunControl::ShowWorkerMessage(const std::string &caption, const std::string &text, TMessageIcon icon)
{
    if (m_closing)
        return;
    if (caption == "File Error") {
        ShowFileError(FromText(text));
        return;
    }
    m_form.ShowMessageBox(QString::fromStdString(caption),
                          FromText(text),
                          icon == TMessageIcon::Error ? QMessageBox::Critical : QMessageBox::Information,
                          QMessageBox::Ok);
}

bool TRunControl::AskStackedDelete(const std::string &question)
{
    if (m_closing)
        return false;
    return m_form.ShowMessageBox(QStringLiteral("Confirm Delete"), FromText(question), QMessageBox::Warning,
                                 QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

bool TRunControl::AskPermanentDelete(std::size_t count)
{
    if (m_closing)
        return false;
    const QString what = count == 1 ? QStringLiteral("file or folder") : QStringLiteral("files or folders");
    const bool yes = m_form.ShowMessageBox(QStringLiteral("Delete Permanently"),
                                           QStringLiteral("%1 %2 cannot be moved to the trash. Delete permanently?")
                                               .arg(count)
                                               .arg(what),
                                           QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
    m_permanentDelete = m_permanentDelete || yes;
    return yes;
}
