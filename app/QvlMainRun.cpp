// TMainForm: starting, following and finishing a verify. The window's side
// of a run lives in TRunControl; the window's handlers hand over to it.
#include "app/QvlMainRun.h"

#include "app/PathText.h"
#include "app/QvlApplication.h"
#include "app/QvlMain.h"
#include "app/QvlMainRunBridge.h"

#include "engine/InfoThread.h"
#include "platform/NotifySound.h"
#include "platform/PathKind.h"
#include "platform/Paths.h"
#include "controls/foldertree/SystemTreeView.h"
#include "controls/filelist/FlCtrlEx.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>

#include <new>

void TMainForm::SetUpRun()
{
    RunControl = new TRunControl(*this, RunWidgets());
}

void TMainForm::StartBtnClick()
{
    RunControl->StartBtnClick();
}

void TMainForm::CancelBitBtnClick()
{
    RunControl->CancelBitBtnClick();
}

void TMainForm::ReturnBitBtnClick()
{
    RunControl->ReturnBitBtnClick();
}

TRunEnvironment::TRunEnvironment()
    : Clock([] { return QTime::currentTime(); }),
      DrivePartOf([](const std::string &path) { return DrivePart(path); }),
      DriveTypeOf([](const std::string &root) { return GetDriveType(root); }),
      PlaySound([] { return PlayNotifySound(); }),
      AskSaveFileName([](QWidget *parent, const QString &caption, const QString &filter) {
          return QFileDialog::getSaveFileName(parent, caption, QString(), filter);
      })
{
}

TRunControl::TRunControl(TMainForm &form, const TRunWidgets &widgets)
    : QObject(&form), m_form(form), ui(widgets), m_bridge(std::make_unique<TVerifyBridge>(*this))
{
    connect(ui.RadioDelNone, &QRadioButton::clicked, this, &TRunControl::RadioDelNoneClick);
    connect(ui.RadioDelSource, &QRadioButton::clicked, this, &TRunControl::RadioDelSourceClick);
    connect(ui.RadioDelTarget, &QRadioButton::clicked, this, &TRunControl::RadioDelTargetClick);
    connect(ui.TimerVerify, &QTimer::timeout, this, &TRunControl::TimerVerifyTimer);
    SetUpDisplay();
}

TRunControl::~TRunControl()
{
    // The window is going away; its widgets may be gone already. A run still
    // going is stopped, and whatever it asks until it ends gets the answer
    // "no" without a dialog.
    m_closing = true;
    if (!m_worker)
        return;
    m_worker->Terminate();
    m_worker->Continue();
    while (!m_worker->wait(QDeadlineTimer(20)))
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

IVerifyWindow &TRunControl::Bridge()
{
    return *m_bridge;
}

bool TRunControl::Running() const
{
    return m_worker && m_worker->isRunning();
}

// ------------------------------------------------------------------ start

void TRunControl::StartBtnClick()
{
    m_form.UpdatePathHistory();
    const QString source = ui.EditSource->text();
    const QString target = ui.EditTarget->text();
    if (source == target
        && m_form.ShowMessageBox(m_form.windowTitle(),
                                 QStringLiteral("The Source and Target are Identical!\nOk to continue?"),
                                 QMessageBox::Question, QMessageBox::Ok | QMessageBox::Cancel)
               != QMessageBox::Ok)
        return;
    if (!CheckDeleteDrive()) {
        m_form.ShowMessageBox(TQvlApplication::Title(), QStringLiteral("Verify Operation Canceled."),
                              QMessageBox::NoIcon, QMessageBox::Ok);
        return;
    }
    if (Running())
        return; // one run at a time; Start is disabled during a run anyway

    ui.StartBtn->setEnabled(false);
    m_runCanceled = false;
    m_form.ShowVerifyView(true);

    m_sourceText = source;
    m_targetText = target;
    // Resolved now, once: moving the trees below makes other folders current.
    m_runSource = AbsolutePath(ToPath(source));
    m_runTarget = AbsolutePath(ToPath(target));

    for (TSystemTreeView *tree : {ui.SourceTreeView, ui.TargetTreeView}) {
        // A tree that cannot show its drive root is shown the error; the run
        // goes on, its paths are taken already.
        try {
            const std::string selection = tree->Selection();
            if (!selection.empty())
                tree->SetSelection(m_env.DrivePartOf(selection) + "/");
        } catch (...) {
            ShowException(std::current_exception());
        }
    }

    ResetRunDisplay();
    StartProgressDisplay();

    // The worker takes the request made here, at once: it does not wait for
    // this window to come round to it, however busy the window's first
    // turns after Start are.
    m_bridge->Prepare(CaptureRequest());
    m_worker.reset();
    bool started = false;
    try {
        m_worker = std::make_unique<TInfoThread>(m_env.WorkerWindow ? m_env.WorkerWindow : m_bridge.get());
        connect(m_worker.get(), &QThread::finished, this, &TRunControl::RunFinished);
        m_worker->start();
        // The worker is under way: it may be cancelled from now on.
        ui.CancelBitBtn->setEnabled(true);
        // A thread that could not be created is neither running nor
        // finished. A short run on a busy machine may be over already
        // (finished, its end queued to this thread): it started, and its
        // end shows the whole log as any other run's does.
        started = m_worker->isRunning() || m_worker->isFinished();
    } catch (const std::bad_alloc &) {
        m_worker.reset();
    }
    if (!started) {
        m_worker.reset();
        m_form.ShowMessageBox(TQvlApplication::Title(), QStringLiteral("Error! Cannot create thread."),
                              QMessageBox::NoIcon, QMessageBox::Ok);
        // No completion will come: offer the way back at once.
        LeaveRunState();
    }
}

bool TRunControl::CheckDeleteDrive()
{
    if (ui.RadioDelNone->isChecked())
        return true;
    const bool source = ui.RadioDelSource->isChecked();
    const QString side = source ? QStringLiteral("Source drive ") : QStringLiteral("Target drive ");
    const QString text = source ? ui.EditSource->text() : ui.EditTarget->text();
    const std::string root = m_env.DrivePartOf(AbsolutePath(ToPath(text))) + "/";

    QString first;
    QString second;
    switch (m_env.DriveTypeOf(root)) {
    case dtFixed:
    case dtRamDisk:
        return true;
    case dtRemovable:
        first = QStringLiteral(" is a removable drive. Files cannot be");
        second = QStringLiteral("placed in Recycle Bin. Continue with Verify and permanently Delete?");
        break;
    case dtRemote:
        first = QStringLiteral(" is a network drive. Files cannot be");
        second = QStringLiteral("placed in Recycle Bin. Continue with Verify and permanently Delete?");
        break;
    case dtCDROM:
        first = QStringLiteral(" is a Read Only Drive. Files cannot");
        second = QStringLiteral("be recycled. Continue with Verify Only?");
        m_deleteMode = DeleteMode::None;
        break;
    case dtUnknown:
    case dtNoRootDir:
        first = QStringLiteral(" is unknown.");
        second = QStringLiteral("Continue with Verify only?");
        m_deleteMode = DeleteMode::None;
        break;
    default:
        return false;
    }
    return AskDeleteBox(QStringLiteral("Confirm Continue"),
                        side + QLatin1Char('\'') + FromPath(root) + QLatin1Char('\'') + first, second,
                        QStringLiteral("Continue"), nullptr);
}

void TRunControl::RadioDelNoneClick()
{
    m_deleteMode = DeleteMode::None;
}

void TRunControl::RadioDelSourceClick()
{
    m_deleteMode = DeleteMode::Source;
}

void TRunControl::RadioDelTargetClick()
{
    m_deleteMode = DeleteMode::Target;
}

VerifyRequest TRunControl::CaptureRequest()
{
    VerifyRequest request;
    request.sourcePath = m_runSource;
    request.targetPath = m_runTarget;
    request.singleFile = GetPathKind(m_runSource) == pkFile;
    request.deleteMode = m_deleteMode;
    request.includeSubfolders = ui.CheckBoxSubDir->isChecked();
    request.includeHidden = ui.CheckBoxHidden->isChecked();
    request.maskText = ui.SourceFileListBox->Mask();
    request.fromDisk = ui.MenuFromDisk->isChecked();
    return request;
}

// ------------------------------------------------------------------ finish

void TRunControl::RunFinished()
{
    if (m_closing || sender() != m_worker.get())
        return;
    FlushDisplay();
    m_reportRows = m_bridge->TakeReportRows();
    StopDisplayTurns();
    ui.TimerVerify->stop();
    m_listBoxVTag = 0;

    // The verdict is up before the completion box, which stands beside it.
    ShowVerdict();
    const bool canceled = m_runCanceled && !DeleteOnCancelChecked();
    m_form.ShowMessageBox(m_form.windowTitle(),
                          canceled ? QStringLiteral("Operation Canceled!   ")
                                   : QStringLiteral("Operation Completed!   "),
                          QMessageBox::Information, QMessageBox::Ok);

    ui.ReturnBitBtn->setEnabled(true);
    ui.CancelBitBtn->setEnabled(false);
    m_saveReport->setEnabled(true);
    if (m_form.isMinimized())
        m_form.showNormal();

    ui.SourceTreeView->SetAutoExpand(false);
    ui.TargetTreeView->SetAutoExpand(false);
    m_form.ResetPathSelection();
    if (m_deleteMode == DeleteMode::None)
        ui.RadioDelNone->setChecked(true);
    const bool autoExpand = ui.MenuAutoExpand->isChecked();
    ui.SourceTreeView->SetAutoExpand(autoExpand);
    ui.TargetTreeView->SetAutoExpand(autoExpand);
}

void TRunControl::LeaveRunState()
{
    StopDisplayTurns();
    ui.TimerVerify->stop();
    ui.ReturnBitBtn->setEnabled(true);
    ui.CancelBitBtn->setEnabled(false);
}

void TRunControl::ReturnBitBtnClick()
{
    ui.LabelRate->clear();
    ui.LabelElapsed->setText(ElapsedText(0));
    ui.LabelRemain->setText(ClockText(0));
    m_form.ShowVerifyView(false);
}
