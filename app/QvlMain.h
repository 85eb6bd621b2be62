// TMainForm: the program's only main window. Its work is split by role over
// several files of the same class:
//   QvlMain.cpp         creation, layout rules, menus, hints, version, exit
//   QvlMainPaths.cpp    the Source and Target path boxes and their history
//   QvlMainSync.cpp     synchronised browsing and resetting the trees
//   QvlMainOptions.cpp  the filter, the hidden-files option, file-list events
//   QvlMainRun*.cpp     starting, following and finishing a verify
// Both sides of the path selection are a TPathSide (PathSide.h), wired once
// for the two of them.
#pragma once

#include "app/PathSide.h"

#include <QMainWindow>
#include <QString>

#include <functional>
#include <string>
#include <vector>

class QKeyEvent;
class QLineEdit;
class QListWidget;
class QMenu;
class QTimer;
class QTreeWidgetItem;
class TDirectoryListBox;
class TFileListBoxEx;
class TRunControl;
struct TRunWidgets;
class TSystemTreeView;
namespace Ui { class TMainForm; }

class TMainForm : public QMainWindow
{
    Q_OBJECT
public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    // The hidden folder list that supplies completion candidates.
    TDirectoryListBox *DirectoryListBox1 = nullptr;
    // One-shot: resets both trees 1500 ms after a device change.
    QTimer *TimerTreeReset = nullptr;
    // Follows a run once a second (run control).
    QTimer *TimerVerify = nullptr;

    // Enters `paths` (Source, then Target; absolute) in the path boxes as if
    // each was typed there and Enter pressed, with the same checks: the
    // program's command line.
    void EnterPaths(const std::vector<std::string> &paths);

    // ---------------------------------------------------------- version
    // A value of the program's version resource, or `name` itself when it
    // cannot be had; "All" lists every value in the log pane. Errors go to the
    // log pane.
    QString GetVersionValue(const QString &name);

    // ---------------------------------------------------------- layout
    void FormCreate();
    void PanelTreesSplitterMoved();
    void SourceSplitterMoved();
    void TargetSplitterMoved();
    void MenuShowLogClick();
    // The long part of the current hint into the status line.
    void ShowHint(const QString &hint);
    // The path-selection view (false) or the verify view (true), with the
    // menus that belong to path selection.
    void ShowVerifyView(bool verify);
    void ScrollLogToEnd();
    void UpdateMinimumSize();

    // ---------------------------------------------------------- commands
    void FileNew();
    void VFileOpen();
    void FileSave();
    void FileSaveAs();
    void FilePrint();
    void FilePrintSetup();
    void FileExit();
    void HelpContents();
    void HelpSearch();
    void HelpHowToUse();
    void HelpAbout();

    // ---------------------------------------------------------- path boxes
    void UpdatePathHistory();
    void ResetPathSelection();
    void EditSourceChange();
    void EditTargetChange();

    // ---------------------------------------------------------- sync browsing
    void SB_syncClick();
    void MenuAutoExpandClick();
    void MenuRefreshDirectoriesClick();
    void TimerTreeResetTimer();
    // The window's side of a mount or unmount.
    void DeviceChange();

    // ---------------------------------------------------------- filter and options
    void MyFilterBoxChange();
    bool MyFilterBoxKeyPress(QKeyEvent *key);
    void MyFilterBoxExit();
    void CheckBoxHiddenClick();
    void SourceFileListBoxEnter();
    void TargetFileListBoxEnter();

    // ---------------------------------------------------------- run control
    void StartBtnClick();
    void CancelBitBtnClick();
    void ReturnBitBtnClick();
    // The run in progress: its checks, display, pause, cancel and finish.
    TRunControl *RunControl = nullptr;

    // ---------------------------------------------------------- state
    bool FCompletionArmed = false;
    bool FJustEntered = false;
    std::string FSyncSourceBase;
    std::string FSyncTargetBase;

    // The pop-up menus of the two boxes (built at creation).
    QMenu *PopupSource = nullptr;
    QMenu *PopupTarget = nullptr;

    // Shows a modal message box and returns the button chosen. Tests replace
    // it to answer the boxes themselves.
    using TMessageBoxFn = std::function<int(const QString &caption, const QString &text,
                                            int icon, int buttons)>;
    TMessageBoxFn MessageBox;
    int ShowMessageBox(const QString &caption, const QString &text, int icon, int buttons);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // The generated form is this window's own; the run control is handed
    // its widgets (RunWidgets), the tests find them by name.
    Ui::TMainForm *ui;

    // The two sides of the path selection.
    TPathSide m_source;
    TPathSide m_target;
    TPathSide &Other(const TPathSide &side) { return &side == &m_source ? m_target : m_source; }

    // A box's text as the program takes it: "~" and "~/..." name the home
    // folder.
    static std::string TypedPath(const QLineEdit *edit);

    void SetUpControls();
    void SetUpPathBoxes();
    void SetUpSync();
    void SetUpOptions();
    void SetUpRun();
    // The widgets and actions a run reads and shows.
    TRunWidgets RunWidgets() const;
    void SetUpMenusAndTools();
    QMenu *MakeBoxPopup(TPathSide &side, const QString &matchText);

    void UpdateBox(TPathSide &side);
    void BoxChange(TPathSide &side);
    bool BoxKeyPress(TPathSide &side, QKeyEvent *key);
    void BoxEnter(TPathSide &side);
    void BoxExit(TPathSide &side);
    void BoxClick(TPathSide &side);
    void BoxEnterPressed(TPathSide &side);
    bool TryCompletion(QLineEdit *edit);
    void UpdateStartButton();
    bool HistoryChoose(TPathSide &side);
    bool HistoryKeyPress(TPathSide &side, QKeyEvent *key);
    void PopupOpen(TPathSide &side);
    void MatchOther(TPathSide &side);
    // Selects `path` in the tree with automatic expansion on for that one
    // selection. With `exactly`, only the path's own node is selected; false
    // when the tree has none (the selection is then left as it was).
    bool SelectWithAutoExpand(TSystemTreeView *tree, const std::string &path, bool exactly = false);
    // "Path Not Valid" for the box's text, with the reason when one is known.
    void ShowPathNotValid(const QLineEdit *edit, const QString &reason = QString());
    void SetCandidateFolder(const std::string &folder);

    void TreeChange(TPathSide &side);
    // Shows the tree's selection in the side's file list and offers its
    // subfolders for completion; false (and nothing shown) when it is no
    // folder that can be made current.
    bool ShowTreeFolder(TPathSide &side);
    // The box takes the tree's selection (emptied, with its file list, when
    // the selection is no accessible folder).
    void BoxFollowsTree(TPathSide &side, bool accessible);
    // Asks the other tree to select the place that corresponds to this
    // side's `selection`; false when the user chose to put this side back.
    bool SyncOtherTree(TPathSide &side, const std::string &selection);
    // After the trees were rebuilt: a box keeps what it holds while that
    // still exists, otherwise it follows its tree.
    void KeepOrFollowBox(TPathSide &side);
    void TreeEnter(TPathSide &side);
    void TreeCollapsing(TPathSide &side, bool &allowCollapse);
    bool TakeSyncBase(const QLineEdit *edit, const char *sideName, std::string &base);
    void ResetTrees();

    void FileListClick(TPathSide &side);
    void FileListChange(TPathSide &side);
    void RememberFilter();

    // Runs a control's setter and shows what it throws as the message loop
    // would, so one failing folder never leaves a handler half done.
    void Guarded(const std::function<void()> &step);

    bool OptionsEventFilter(QObject *watched, QEvent *event);

    bool m_afterDoubleClick = false;
    bool m_restoringSelection = false; // a refused sync puts a tree back
};

// The relative-position rule of synchronised browsing: where `selection`
// (a folder on this side) lies relative to `thisBase`, joined to `otherBase`;
// `selection` itself when the bases are equal. Both bases end in "/". Empty
// (no place) when the bases differ and `selection` is on another drive than
// `thisBase`.
std::string SyncMappedPath(const std::string &selection, const std::string &thisBase,
                           const std::string &otherBase);
// The relative path of `selection` with respect to `base`, with ".." steps;
// the whole selection when the two lie on different drives.
std::string SyncRelativePath(const std::string &selection, const std::string &base);

extern TMainForm *MainForm;
