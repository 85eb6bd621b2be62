// TMainForm: synchronised browsing of the two trees, resetting them on
// request and after mounts change, and the rule that keeps the first node
// from collapsing.
#include "app/QvlMain.h"

#include "app/PathText.h"
#include "ui_QvlMain.h"

#include "platform/CurrentFolder.h"
#include "controls/filelist/DirectoryListBox.h"
#include "controls/filelist/FlCtrlEx.h"
#include "platform/MountMonitor.h"
#include "platform/MountTable.h"
#include "platform/PathKind.h"
#include "platform/Paths.h"
#include "controls/foldertree/SystemTreeView.h"

#include <QMessageBox>
#include <QTimer>

#include <optional>

namespace {

// Everything up to and including the last "/" (the empty text when none).
std::string FolderPart(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NamePart(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Walks the components of a folder part as a cursor does: each step takes the
// text up to the next "/" and moves behind it; after the last "/" the cursor
// stands on an empty rest, and one step more leaves it with nothing.
struct TComponentCursor {
    std::optional<std::string> rest;
    std::optional<std::string> Next()
    {
        if (!rest)
            return std::nullopt;
        std::string current = *rest;
        const auto slash = current.find('/');
        if (slash == std::string::npos) {
            rest.reset();
            return current;
        }
        rest = current.substr(slash + 1);
        return current.substr(0, slash);
    }
};

} // namespace

std::string SyncRelativePath(const std::string &selection, const std::string &base)
{
    const std::string baseDrive = DrivePart(base);
    const std::string selDrive = DrivePart(selection);
    if (baseDrive != selDrive)
        return selection;
    TComponentCursor baseLead{FolderPart(base).substr(baseDrive.size())};
    TComponentCursor selLead{FolderPart(selection).substr(selDrive.size())};
    std::optional<std::string> selPart;
    while (baseLead.rest && selLead.rest) {
        const auto basePart = baseLead.Next();
        selPart = selLead.Next();
        if (basePart != selPart)
            break;
    }
    std::string result;
    while (baseLead.rest) {
        result += "../";
        baseLead.Next();
    }
    if (selPart && !selPart->empty())
        result += *selPart + '/';
    if (selLead.rest)
        result += *selLead.rest;
    return result + NamePart(selection);
}

std::string SyncMappedPath(const std::string &selection, const std::string &thisBase,
                           const std::string &otherBase)
{
    if (thisBase == otherBase)
        return selection;
    // The relative path of a selection on another drive is the whole
    // selection, and joined to the other base that is a legal path here,
    // which may even exist: it never maps.
    if (DrivePart(selection) != DrivePart(thisBase))
        return {};
    return otherBase + SyncRelativePath(selection, thisBase);
}

void TMainForm::SetUpSync()
{
    for (TPathSide *side : {&m_source, &m_target}) {
        // A right click offers the folder's commands; names are not edited
        // here, so the menu has no Rename.
        side->Tree->SetPopupMenuMethod(pmmContext);
        side->Tree->SetReadOnly(true);
        side->Tree->SetAutoExpand(ui->MenuAutoExpand->isChecked());
        side->Tree->OnChange = [this, side](TSystemTreeView *, QTreeWidgetItem *) { TreeChange(*side); };
        side->Tree->OnClick = [this](TSystemTreeView *) { FCompletionArmed = false; };
        side->Tree->OnEnter = [this, side](TSystemTreeView *) { TreeEnter(*side); };
        side->Tree->OnCollapsing = [this, side](TSystemTreeView *, QTreeWidgetItem *, bool &allow) {
            TreeCollapsing(*side, allow);
        };
    }
    connect(ui->SB_sync, &QAction::triggered, this, &TMainForm::SB_syncClick);
    connect(ui->MenuAutoExpand, &QAction::triggered, this, &TMainForm::MenuAutoExpandClick);
    connect(ui->MenuRefreshDirectories, &QAction::triggered, this, &TMainForm::MenuRefreshDirectoriesClick);
    connect(TimerTreeReset, &QTimer::timeout, this, &TMainForm::TimerTreeResetTimer);
    connect(TMountMonitor::Instance(), &TMountMonitor::MountsChanged, this, &TMainForm::DeviceChange);
}

// ------------------------------------------------------------------ switching on

bool TMainForm::TakeSyncBase(const QLineEdit *edit, const char *sideName, std::string &base)
{
    const QString text = edit->text();
    if (text.isEmpty()) {
        base.clear();
        return true;
    }
    // Taken before the folder is made current, so that a relative text means
    // what it meant when typed.
    const std::string absolute = AbsolutePath(ToPath(text));
    if (SetCurrentFolder(absolute) != 0) {
        ShowMessageBox(QStringLiteral("Sync Error"),
                       QStringLiteral("Cannot sync using %1 \"%2\"   \nMust be a legal directory.  ")
                           .arg(QLatin1String(sideName), text),
                       QMessageBox::Information, QMessageBox::Ok);
        ui->SB_sync->setChecked(false);
        return false;
    }
    base = IncludeTrailingSlash(absolute);
    return true;
}

void TMainForm::SB_syncClick()
{
    if (!ui->SB_sync->isChecked())
        return;
    if (!TakeSyncBase(ui->EditSource, "Source", FSyncSourceBase))
        return;
    if (!TakeSyncBase(ui->EditTarget, "Target", FSyncTargetBase))
        return;
    if (!FSyncSourceBase.empty() && FSyncTargetBase.empty())
        FSyncTargetBase = FSyncSourceBase;
    if (!FSyncTargetBase.empty() && FSyncSourceBase.empty())
        FSyncSourceBase = FSyncTargetBase;
}

// ------------------------------------------------------------------ selection changes

void TMainForm::TreeChange(TPathSide &side)
{
    // A tree that is being rebuilt only puts its selection back; the box
    // keeps what the user chose (see KeepOrFollowBox).
    if (side.Tree->Resetting())
        return;
    const std::string selection = side.Tree->Selection();
    const bool accessible = ShowTreeFolder(side);
    if (accessible && ui->SB_sync->isChecked() && ui->PanelMain->isVisible() && !m_restoringSelection
        && !SyncOtherTree(side, selection))
        return;
    BoxFollowsTree(side, accessible);
}

bool TMainForm::ShowTreeFolder(TPathSide &side)
{
    const std::string selection = side.Tree->Selection();
    if (selection.empty() || SetCurrentFolder(selection) != 0)
        return false;
    Guarded([&] { side.FileList->SetFileName(IncludeTrailingSlash(selection)); });
    SetCandidateFolder(selection);
    return true;
}

void TMainForm::BoxFollowsTree(TPathSide &side, bool accessible)
{
    if (!accessible) {
        side.Edit->clear();
        side.FileList->Clear();
    } else {
        UpdateBox(side);
    }
}

bool TMainForm::SyncOtherTree(TPathSide &side, const std::string &selection)
{
    const bool isSource = &side == &m_source;
    const std::string &thisBase = isSource ? FSyncSourceBase : FSyncTargetBase;
    const std::string &otherBase = isSource ? FSyncTargetBase : FSyncSourceBase;
    const std::string mapped = SyncMappedPath(selection, thisBase, otherBase);
    if (thisBase == otherBase) {
        Other(side).Tree->SetSelection(mapped);
        return true;
    }
    if (!mapped.empty() && GetPathKind(mapped) == pkFolder) {
        Other(side).Tree->SetSelection(AbsolutePath(mapped));
        return true;
    }
    const QString text =
        isSource ? QStringLiteral("Cannot sync using Target \"%1\" \nDisable syncronization and change Source?  ")
                       .arg(ui->EditTarget->text())
                 : QStringLiteral("Cannot sync using Source \"%1\" \nDisable syncronization and change Target?  ")
                       .arg(ui->EditSource->text());
    if (ShowMessageBox(QStringLiteral("Sync Error"), text, QMessageBox::Information,
                       QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes) {
        ui->SB_sync->setChecked(false);
        return true;
    }
    // Back to where this side was. That place was in step already (or is
    // the base itself, which need not map), so its own change handling only
    // updates the box and asks nothing again.
    m_restoringSelection = true;
    side.Tree->SetSelection(ToPath(side.Edit->text()));
    m_restoringSelection = false;
    return false;
}

void TMainForm::TreeEnter(TPathSide &side)
{
    const std::string selection = side.Tree->Selection();
    if (selection.empty() || SetCurrentFolder(selection) != 0)
        return;
    SetCandidateFolder(selection);
    UpdateBox(side);
}

void TMainForm::TreeCollapsing(TPathSide &side, bool &allowCollapse)
{
    try {
        QTreeWidgetItem *selected = side.Tree->Selected();
        if (isActiveWindow() && selected && !selected->parent() && side.Tree->IsFirstNode(selected))
            allowCollapse = false;
    } catch (...) {
    }
}

// ------------------------------------------------------------------ settings and resets

void TMainForm::MenuAutoExpandClick()
{
    // The action toggled its own check mark before this runs.
    const bool on = ui->MenuAutoExpand->isChecked();
    ui->SourceTreeView->SetAutoExpand(on);
    ui->TargetTreeView->SetAutoExpand(on);
}

void TMainForm::ResetTrees()
{
    ui->SourceTreeView->Reset();
    ui->TargetTreeView->Reset();
    KeepOrFollowBox(m_source);
    KeepOrFollowBox(m_target);
    UpdateStartButton();
}

void TMainForm::KeepOrFollowBox(TPathSide &side)
{
    // The box is what a run takes. A rebuild of the tree (a mount anywhere,
    // a refresh) changes nothing the user chose, so the box stays as long as
    // what it names is there; an empty box stays empty.
    if (side.Edit->text().isEmpty())
        return;
    // Resolved before the file list makes its own folder current.
    const std::string path = AbsolutePath(TypedPath(side.Edit));
    const TPathKind kind = GetPathKind(path);
    if (kind == pkNone) {
        side.PendingFile = 0;
        BoxFollowsTree(side, ShowTreeFolder(side));
        return;
    }
    // Still there: the file list shows it afresh, with the box's file
    // selected again.
    Guarded([&] {
        side.FileList->ReadFileNames();
        if (kind == pkFile)
            side.FileList->SetFileName(path);
    });
}

void TMainForm::MenuRefreshDirectoriesClick()
{
    ResetTrees();
}

void TMainForm::DeviceChange()
{
    if (TimerTreeReset->isActive())
        return;
    TimerTreeReset->start(1500);
}

void TMainForm::TimerTreeResetTimer()
{
    TimerTreeReset->stop();
    ResetTrees();
}
