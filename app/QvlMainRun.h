// The main window's side of a verify run: the checks at Start, the progress
// display, pause and cancel, the delete confirmation and the end of the run.
// One per main window (TMainForm::RunControl); it keeps the run's state and
// the worker of the latest run.
#pragma once

#include "app/RunReportRows.h"

#include "platform/MountTable.h"
#include "engine/TimerFigures.h"
#include "engine/VerifyTypes.h"
#include "engine/VerifyWindow.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTime>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class QToolButton;
class QWidget;
class TCancelForm;
class TDeleteBox;
class TFileListBoxEx;
class TInfoThread;
class TMainForm;
class TRunLogDelegate;
class TRunLogModel;
class TSystemTreeView;
class TVerifyBridge;
struct TRunMail;

// The main window's widgets and actions that a run reads and shows, handed
// to TRunControl once by the window; the run knows the window through these
// and the few calls listed at TRunControl::m_form.
struct TRunWidgets {
    // What Start reads: the two paths, the options, the delete mode.
    QLineEdit *EditSource = nullptr;
    QLineEdit *EditTarget = nullptr;
    TSystemTreeView *SourceTreeView = nullptr;
    TSystemTreeView *TargetTreeView = nullptr;
    TFileListBoxEx *SourceFileListBox = nullptr; // its mask is the run's filter
    QCheckBox *CheckBoxSubDir = nullptr;
    QCheckBox *CheckBoxHidden = nullptr;
    QAction *MenuFromDisk = nullptr;
    QAction *MenuRecordChecksums = nullptr;
    QAction *MenuCompareAttributes = nullptr;
    QAction *MenuTargetOnly = nullptr;
    // Starts a check of the Target folder against a checksum file.
    QAction *FileCheckChecksumsItem = nullptr;
    QAction *MenuAutoExpand = nullptr;
    QRadioButton *RadioDelNone = nullptr;
    QRadioButton *RadioDelSource = nullptr;
    QRadioButton *RadioDelTarget = nullptr;
    // The run's buttons.
    QToolButton *StartBtn = nullptr;
    QToolButton *CancelBitBtn = nullptr;
    QToolButton *ReturnBitBtn = nullptr;
    // The run display: the pair, the counts, the bars, the times.
    QLabel *SourcePath = nullptr;
    QLabel *TargetPath = nullptr;
    QLabel *TotalDir = nullptr;
    QLabel *TotalFiles = nullptr;
    QLabel *TotalSize = nullptr;
    QLabel *Same = nullptr;
    QLabel *Different = nullptr;
    QLabel *Missing = nullptr;
    QProgressBar *PBarFile = nullptr;
    QProgressBar *PBarAll = nullptr;
    QLabel *LabelRate = nullptr;
    QLabel *LabelElapsed = nullptr;
    QLabel *LabelRemain = nullptr;
    // Ticks once a second while a run goes on.
    QTimer *TimerVerify = nullptr;
    // The verify log and the log pane.
    QListView *ListBoxV = nullptr;
    QListWidget *ListLog = nullptr;
};

// What a run takes from outside the window: the time, the mount table, the
// sound, the worker's way to the window and the save dialog. A default
// environment is the program's own; tests put in their own pieces to answer
// them from recordings or to hold the worker at a chosen call.
struct TRunEnvironment {
    TRunEnvironment();

    // The time of day.
    std::function<QTime()> Clock;
    // The drive part of an absolute path and the type of a drive root.
    std::function<std::string(const std::string &absPath)> DrivePartOf;
    std::function<TDriveType(const std::string &root)> DriveTypeOf;
    // Starts the notification sound; false when there is none (the window
    // beeps instead).
    std::function<bool()> PlaySound;
    // The window the next worker talks to; null means the run control's own
    // bridge.
    IVerifyWindow *WorkerWindow = nullptr;
    // The file name a save dialog over `parent` chose, or empty when it was
    // cancelled; it proposes `proposedName` (AskSaveFile).
    std::function<QString(QWidget *parent, const QString &caption, const QString &filter,
                          const QString &proposedName)>
        AskSaveFileName;
    // The same for a file to open.
    std::function<QString(QWidget *parent, const QString &caption, const QString &filter)> AskOpenFileName;
    // Whether the window is the active one; unset: as the window system says.
    std::function<bool()> WindowActive;
};

// What a run's end notification says: "All 12,345 files match", "3 files
// differ, 1 file missing", ...
QString RunVerdictText(const VerifyCounters &counters, bool canceled);

class TDesktopNotification;

// How a run ended, as the verdict strip says it: an exact copy, a copy with
// differences or missing files, or a run that proved less than it was asked
// (cancelled, files that could not be read, nothing compared).
enum class TVerdictRole { Exact, Damaged, Unproven };
// "exact", "damaged", "unproven": the strip's "verdict" property.
QString VerdictRoleName(TVerdictRole role);

// The figures of a run that has ended, from its report rows.
struct TVerdictFigures {
    bool canceled = false;
    qint64 files = 0;   // gathered
    qint64 checked = 0; // pairs with a result
    qint64 differ = 0, missing = 0, unreadable = 0;
    qint64 skipped = 0; // Source entries that are no regular files
    qint64 attributesDiffer = 0; // matches whose attributes differ
    qint64 targetOnly = 0;       // Target files without a Source counterpart
    qint64 matchedBytes = 0;
    qint64 deleted = 0, notDeleted = 0;
    bool permanent = false; // the user allowed deleting without the Trash
};

struct TRunVerdict {
    TVerdictRole role = TVerdictRole::Unproven;
    QString text;
    bool problems = false; // "Show Problems" is offered
};

TRunVerdict RunVerdict(const TVerdictFigures &figures);

class TRunControl : public QObject
{
    Q_OBJECT
public:
    TRunControl(TMainForm &form, const TRunWidgets &widgets);
    ~TRunControl() override;

    // ---------------------------------------------------------- start
    void StartBtnClick();
    // "Check Against Checksums...": asks for the checksum file and checks the
    // folder in the Target path box against it, with the verify's display.
    void CheckAgainstChecksumsClick();
    // True when the run may start; may lower the delete mode to None.
    bool CheckDeleteDrive();
    // When an unfinished run of the same folders and options left its
    // journal: asks whether to take it up (No removes the journal).
    void OfferResume();
    // The delete options; each sets the mode of the next run.
    void RadioDelNoneClick();
    void RadioDelSourceClick();
    void RadioDelTargetClick();
    void RadioGroupDeleteClick() {}
    DeleteMode CurrentDeleteMode() const { return m_deleteMode; }

    // ---------------------------------------------------------- display
    void ResetRunDisplay();
    void StartProgressDisplay();
    void TimerVerifyTimer();
    // Shows what the worker posted since the last display turn.
    void FlushDisplay();
    // The follow flag of the verify log: 0 while it follows new lines.
    int ListBoxVTag() const { return m_listBoxVTag; }
    // The verify log's vertical scroll messages, by their codes: line up 0,
    // line down 1, page up 2, page down 3, thumb released 4, thumb dragging 5.
    void ListBoxVScroll(int scrollCode);

    // ---------------------------------------------------------- the verify log's menu
    // Copy, Select All, Show Problems Only, Save Log As..., Save Report As...;
    // also during a run, and none of them changes how the run goes on.
    QMenu *LogMenu() const { return m_logMenu; }
    QAction *ProblemsOnlyAction() const { return m_problemsOnly; }
    QAction *SaveReportAction() const { return m_saveReport; }
    QAction *SaveChecksumsAction() const { return m_saveChecksums; }
    // The selected lines, in order, to the clipboard.
    void CopyLogSelection();
    // Shows only the lines of the verify log that are no match, or all of
    // them again, keeping the line at the top of the list where it was.
    void ShowProblemsOnly(bool on);
    // The verify log, the model ListBoxV shows.
    const TRunLogModel &LogModel() const { return *m_log; }
    // Every line of the verify log, also those the list does not show.
    QStringList VerifyLog() const;
    // Every line of the verify log, in order, as UTF-8 text; an empty string
    // or the reason it failed.
    QString WriteLog(const QString &file) const;
    void SaveLogAs();
    // The report of the last run that ended, as CSV.
    QString WriteReport(const QString &file) const;
    void SaveReportAs();
    // The checksum file the last run recorded, copied to a file the user
    // names.
    void SaveChecksumsAs();
    // The checksum file the last run that ended recorded; empty when none.
    const QString &ChecksumsWritten() const { return m_checksumsWritten; }

    // The verdict strip above the log, shown when a run has ended; its
    // "Show Problems" button turns on Show Problems Only.
    QFrame *VerdictStrip() const { return m_verdict; }
    // The rows of the report of the latest run that has ended.
    std::vector<TReportRow> ReportRows() const { return m_reportRows.Rows(); }

    // ---------------------------------------------------------- pause, cancel, finish
    void CancelBitBtnClick();
    void RunFinished();
    void ReturnBitBtnClick();
    bool RunCanceled() const { return m_runCanceled; }
    // The worker of the latest run (kept until the next one replaces it).
    TInfoThread *Worker() const { return m_worker.get(); }
    bool Running() const;

    // ---------------------------------------------------------- the worker's calls
    // The run's paths and options, as they are when Start passed its checks.
    VerifyRequest CaptureRequest();
    bool ConfirmDelete(std::size_t count, DeleteMode side);
    bool DeleteOnCancelChecked();
    void ShowWorkerMessage(const std::string &caption, const std::string &text, TMessageIcon icon);
    bool AskPermanentDelete(std::size_t count);
    bool AskStackedDelete(const std::string &question);

    // The run dialogs: the program's own when start-up made them, else this
    // window's.
    TCancelForm *CancelDialog();
    TDeleteBox *DeleteDialog();

    // ---------------------------------------------------------- environment
    // What the run takes from outside the window; a test sets its own pieces
    // here before the step they concern.
    TRunEnvironment &Environment() { return m_env; }
    // This window as the worker sees it.
    IVerifyWindow &Bridge();
    // Display turns that showed something new; a benchmark counts them.
    long DisplayTurns() const { return m_displayTurns; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // What Start and a check share once their questions are answered: the
    // run display, the worker and its start.
    void BeginRun();
    void SetUpDisplay();
    void SetUpLogMenu();
    void SetUpVerdict();
    void ShowVerdict();
    void HideVerdict();
    // Shows the "File Error" box with its check box; once checked, no other
    // one shows in this run.
    void ShowFileError(const QString &text);
    bool LogKeyPress(QKeyEvent *key);
    // Asks for a file name and writes it with `write` (which returns why it
    // failed, or nothing); a failure is told in a box.
    // `what` names the file in the messages and in the proposed name
    // ("quorvel-log-..."), `extension` ends the proposed name.
    void SaveAs(const QString &caption, const QString &filter, const QString &what, const QString &extension,
                const std::function<QString(const QString &file)> &write);
    // The display turns show the worker's mail about every 40 ms during a run.
    void StopDisplayTurns();
    // Time-stamped window lines: "hh:mm:ss" + text (which begins with a
    // blank), to both logs and nothing else.
    void AddWindowLine(const QString &text);
    void ShowMail(TRunMail &mail);
    // Adds a line to the verify log, widening the log to it; the list shows
    // it at the next ShowLogLines.
    void AddVerifyLine(TLogKind kind, bool matched, const std::string &line);
    // Shows the lines added since the last call and, while the log follows
    // the run, its last line.
    void ShowLogLines();
    // The pair on the path labels, each shortened to the width of
    // SourcePath; shortened again when the label changes its size.
    void ShowPaths(const QString &source, const QString &target);
    QString ShortenedPath(const QString &text) const;
    // Sets the texts of the two-line confirmation, sizes and centres it, and
    // shows it; true when it ended with OK.
    bool AskDeleteBox(const QString &caption, const QString &line1, const QString &line2,
                      const QString &continueText, const QString *cancelText);
    void LeaveRunState();
    // "Source drive " + drive part (or "Target drive ...") of the run's
    // deletion side.
    QString SideText(DeleteMode side, const std::string &path) const;

    // The window's own calls a run makes: UpdatePathHistory,
    // ResetPathSelection, ShowVerifyView and ShowMessageBox; besides, the
    // window is the parent of the run's dialogs, its caption titles the
    // run's boxes, and a minimised window is shown again when a run ends.
    TMainForm &m_form;
    const TRunWidgets ui;
    TRunEnvironment m_env;
    // Tells the user a long run ended while the window was behind others.
    TDesktopNotification *m_notification = nullptr;
    void NotifyRunEnd(bool canceled);
    std::unique_ptr<TVerifyBridge> m_bridge;
    std::unique_ptr<TInfoThread> m_worker;
    TCancelForm *m_ownCancelForm = nullptr;
    TDeleteBox *m_ownDeleteBox = nullptr;
    QTimer *m_displayTimer = nullptr;
    TRunLogDelegate *m_logDelegate = nullptr;

    DeleteMode m_deleteMode = DeleteMode::None;
    bool m_runCanceled = false;
    bool m_closing = false;
    bool m_resume = false; // the next run takes up the unfinished one
    QString m_sourceText; // the path boxes' texts when Start passed its checks
    QString m_targetText;
    std::string m_runSource; // the run's paths, resolved once at Start
    std::string m_runTarget;
    QTime m_runStartTime;
    TProgressSnapshot m_progress; // what the progress labels show
    QString m_pathSource; // the full paths the labels show shortened
    QString m_pathTarget;
    int m_listBoxVTag = 0;
    int m_logBarMax = 0; // the verify log's scroll range as last seen
    QMenu *m_logMenu = nullptr;
    QAction *m_problemsOnly = nullptr;
    QAction *m_saveReport = nullptr;
    QAction *m_saveChecksums = nullptr;
    QString m_runCheckFile;      // the checksum file of a check run; empty for a verify
    QString m_checksumsWritten;  // what the last run that ended recorded
    TReportRows m_reportRows;
    // The verify log. The list ListBoxV shows all of it, or, while only the
    // problems are shown, those alone: a run of many matches then costs the
    // list nothing.
    TRunLogModel *m_log = nullptr;
    bool m_fileErrorsQuiet = false; // "Do not show this again during this run"
    long m_displayTurns = 0;
    QFrame *m_verdict = nullptr;
    QLabel *m_verdictText = nullptr;
    QPushButton *m_showProblems = nullptr;
    qint64 m_runFiles = 0;         // the files the run gathered
    bool m_permanentDelete = false; // "Delete permanently?" was answered yes
};

// "1,000 Kb/s"
QString RateText(qint32 rate);
// "hh:mm:ss" of a number of seconds, days dropped.
QString ClockText(qint64 seconds);
// The elapsed label: "hh:mm:ss /".
QString ElapsedText(qint64 seconds);
