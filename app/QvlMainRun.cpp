// TMainForm: starting, following and finishing a verify. The window's side
// of a run lives in TRunControl; the window's handlers hand over to it.
#include "app/QvlMainRun.h"

#include "app/DesktopNotification.h"
#include "engine/RunLogText.h"

#include "app/PathText.h"
#include "app/QvlApplication.h"
#include "app/QvlMain.h"
#include "app/QvlMainRunBridge.h"
#include "app/SaveDialog.h"

#include "engine/ChecksumFile.h"
#include "engine/InfoThread.h"
#include "engine/RunJournal.h"
#include "platform/FileAttributes.h"
#include "platform/NotifySound.h"
#include "platform/PathKind.h"
#include "platform/Paths.h"
#include "controls/foldertree/SystemTreeView.h"
#include "controls/filelist/FlCtrlEx.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDate>
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
      AskSaveFileName(AskSaveFile),
      AskOpenFileName([](QWidget *parent, const QString &caption, const QString &filter) {
          return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
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
    connect(ui.FileCheckChecksumsItem, &QAction::triggered, this, &TRunControl::CheckAgainstChecksumsClick);
    SetUpDisplay();
    m_notification = new TDesktopNotification(&m_form);
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

    m_runCheckFile.clear();
    m_sourceText = source;
    m_targetText = target;
    // Resolved now, once: moving the trees below makes other folders current.
    m_runSource = AbsolutePath(ToPath(source));
    m_runTarget = AbsolutePath(ToPath(target));
    OfferResume();
    BeginRun();
}

void TRunControl::OfferResume()
{
    m_resume = false;
    const VerifyRequest request = CaptureRequest();
    if (!JournalKept(request))
        return;
    const TJournalContents earlier = ReadJournal(request);
    // Nothing to ask about a journal that cannot be used: the run, told to
    // resume, says in its log why it is not, and replaces it.
    if (!earlier.usable) {
        m_resume = earlier.found;
        return;
    }
    const QString text = QStringLiteral("Resume the unfinished run (%1 of %2 files proven)?")
                             .arg(QString::fromStdString(FormatCount(double(earlier.records.size()))),
                                  QString::fromStdString(FormatCount(earlier.files)));
    m_resume = m_form.ShowMessageBox(m_form.windowTitle(), text, QMessageBox::Question,
                                     QMessageBox::Yes | QMessageBox::No)
               == QMessageBox::Yes;
    if (!m_resume)
        RemoveJournal(request);
}

void TRunControl::CheckAgainstChecksumsClick()
{
    if (Running())
        return;
    m_form.UpdatePathHistory();
    const QString target = ui.EditTarget->text();
    const std::string folder = AbsolutePath(ToPath(target));
    if (target.isEmpty() || GetPathKind(folder) != pkFolder) {
        m_form.ShowMessageBox(TQvlApplication::Title(),
                              QStringLiteral("Choose the folder to check in the Target box first."),
                              QMessageBox::Information, QMessageBox::Ok);
        return;
    }
    const QString file =
        m_env.AskOpenFileName(&m_form, QStringLiteral("Check Against Checksums"),
                              QStringLiteral("Checksum files (*.sha256 *.sha512 *.sha1 *.md5 *sums *.txt);;All files (*)"));
    if (file.isEmpty())
        return;
    m_runCheckFile = file;
    m_resume = false;
    m_sourceText = ui.EditSource->text();
    m_targetText = target;
    m_runSource.clear();
    m_runTarget = folder;
    BeginRun();
}

void TRunControl::BeginRun()
{
    ui.StartBtn->setEnabled(false);
    m_runCanceled = false;
    m_saveChecksums->setEnabled(false);
    m_form.ShowVerifyView(true);

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
    request.resume = m_resume;
    if (!m_runCheckFile.isEmpty()) {
        request.checkFile = AbsolutePath(ToPath(m_runCheckFile));
        request.deleteMode = DeleteMode::None;
    } else {
        if (ui.MenuRecordChecksums->isChecked()) {
            // Into the program's own folder: the Target may be read-only,
            // and is never written to unasked.
            request.checksumsPath =
                DefaultChecksumPath(m_runTarget, QDate::currentDate().toString(Qt::ISODate).toStdString());
        }
        // Not for a check: it has no Source to compare attributes with.
        request.compareAttributes = ui.MenuCompareAttributes->isChecked() ? unsigned(abAll) : 0u;
    }
    request.listTargetOnly = ui.MenuTargetOnly->isChecked();
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
    NotifyRunEnd(canceled);
    m_form.ShowMessageBox(m_form.windowTitle(),
                          canceled ? QStringLiteral("Operation Canceled!   ")
                                   : QStringLiteral("Operation Completed!   "),
                          QMessageBox::Information, QMessageBox::Ok);

    ui.ReturnBitBtn->setEnabled(true);
    ui.CancelBitBtn->setEnabled(false);
    m_saveReport->setEnabled(true);
    m_checksumsWritten = FromPath(m_worker->state.checksumsWritten);
    m_saveChecksums->setEnabled(!m_checksumsWritten.isEmpty());
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

QString RunVerdictText(const VerifyCounters &c, bool canceled)
{
    const auto files = [](std::int32_t n, const char *one, const char *many) {
        return QString::fromStdString(FormatCount(n)) + QLatin1String(n == 1 ? one : many);
    };
    QStringList problems;
    if (c.different > 0)
        problems << files(c.different, " file differs", " files differ");
    if (c.missing > 0)
        problems << files(c.missing, " file missing", " files missing");
    if (c.unreadable > 0)
        problems << files(c.unreadable, " file could not be read", " files could not be read");
    if (c.attributesDiffer > 0)
        problems << QStringLiteral("attributes differ for ") + files(c.attributesDiffer, " file", " files");
    if (c.targetOnly > 0)
        problems << files(c.targetOnly, " file only in the Target", " files only in the Target");
    if (canceled)
        problems.prepend(QStringLiteral("Verify canceled after ") + files(c.filesChecked, " file", " files"));
    if (!problems.isEmpty())
        return problems.join(QStringLiteral(", "));
    if (c.filesChecked != c.files)
        return QStringLiteral("Not every file was checked");
    if (c.files == 1)
        return QStringLiteral("The file matches");
    return QStringLiteral("All ") + files(c.files, " file match", " files match");
}

void TRunControl::NotifyRunEnd(bool canceled)
{
    // Only a run long enough for the user to have turned to something else,
    // and only when the window is not the one in front.
    constexpr int kLongRunSeconds = 10;
    int seconds = m_runStartTime.secsTo(m_env.Clock());
    if (seconds < 0)
        seconds += 24 * 60 * 60; // the run went past midnight
    const bool active = m_env.WindowActive ? m_env.WindowActive() : m_form.isActiveWindow();
    if (seconds < kLongRunSeconds || active || !m_worker)
        return;
    m_notification->Show(QStringLiteral("Quorvel"), RunVerdictText(m_worker->state.counters, canceled));
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
