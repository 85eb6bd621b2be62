// TMainForm: the Source and Target path boxes, their completion, history
// lists and pop-up menus. Every handler works on one side; the named
// handlers of the two boxes are the twins that pick their side.
#include "app/QvlMain.h"

#include "app/PathDrop.h"
#include "app/PathSide.h"
#include "app/PathText.h"
#include "app/QvlFormat.h"
#include "ui_QvlMain.h"

#include "platform/CurrentFolder.h"
#include "controls/filelist/DirectoryListBox.h"
#include "controls/filelist/FlCtrlEx.h"
#include "platform/PathKind.h"
#include "platform/Paths.h"
#include "controls/foldertree/SystemTreeView.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QStatusBar>

#include <cstring>
#include <stdexcept>

namespace {

bool IsCharacterKey(const QKeyEvent *key)
{
    switch (key->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return false;
    default:
        break;
    }
    if ((key->modifiers() & Qt::ControlModifier) && key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z)
        return true;
    return !key->text().isEmpty();
}

} // namespace

std::string TMainForm::TypedPath(const QLineEdit *edit)
{
    return ExpandHome(ToPath(edit->text()));
}

void TMainForm::SetUpPathBoxes()
{
    m_source = TPathSide(ui->EditSource, ui->EditSourceHistory, ui->SourceTreeView, ui->SourceFileListBox);
    m_target = TPathSide(ui->EditTarget, ui->EditTargetHistory, ui->TargetTreeView, ui->TargetFileListBox);
    PopupSource = MakeBoxPopup(m_source, QStringLiteral("Match Target"));
    PopupTarget = MakeBoxPopup(m_target, QStringLiteral("Match Source"));
    m_source.Popup = PopupSource;
    m_target.Popup = PopupTarget;

    for (TPathSide *side : {&m_source, &m_target}) {
        side->Edit->installEventFilter(this);
        side->History->installEventFilter(this);
        side->History->viewport()->installEventFilter(this);
        side->SetUpHistory();
        connect(side->Edit, &QLineEdit::customContextMenuRequested, this,
                [side](const QPoint &pos) { side->Popup->exec(side->Edit->mapToGlobal(pos)); });
        // A folder or file dropped on a box or its tree goes into the box as
        // if typed there; two at once fill both sides, as on the window.
        const auto dropped = [this, side](const std::vector<std::string> &paths) {
            if (paths.size() > 1) {
                EnterPaths(paths);
                return;
            }
            side->Edit->setText(FromPath(paths.front()));
            BoxEnterPressed(*side);
        };
        const auto ready = [this, side] { return side->Edit->isEnabled() && side->Edit->isVisible(); };
        new TPathDrop(side->Edit, 1, 2, dropped, ready);
        new TPathDrop(side->Tree->viewport(), 1, 2, dropped, ready);
    }
    // Two folders (or two files) dropped anywhere else on the window: the
    // first is the Source, the second the Target.
    new TPathDrop(this, 2, 2, [this](const std::vector<std::string> &paths) { EnterPaths(paths); }, [this] {
        return m_source.Edit->isEnabled() && m_target.Edit->isEnabled() && m_source.Edit->isVisible();
    });
    connect(ui->EditSource, &QLineEdit::textChanged, this, &TMainForm::EditSourceChange);
    connect(ui->EditTarget, &QLineEdit::textChanged, this, &TMainForm::EditTargetChange);
}

QMenu *TMainForm::MakeBoxPopup(TPathSide &side, const QString &matchText)
{
    auto *menu = new QMenu(this);
    QLineEdit *edit = side.Edit;
    auto add = [&](const QString &text, const QKeySequence &keys, auto fn) {
        QAction *a = menu->addAction(text);
        a->setShortcut(keys);
        a->setEnabled(false);
        connect(a, &QAction::triggered, this, fn);
        return a;
    };
    add(QStringLiteral("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z), [edit] { edit->undo(); });
    menu->addSeparator();
    add(QStringLiteral("Cu&t"), QKeySequence(Qt::CTRL | Qt::Key_X), [edit] { edit->cut(); });
    add(QStringLiteral("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), [edit] { edit->copy(); });
    add(QStringLiteral("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V), [edit] { edit->paste(); });
    add(QStringLiteral("Select All"), QKeySequence(Qt::CTRL | Qt::Key_A), [edit] { edit->selectAll(); });
    QAction *del = add(QStringLiteral("Delete"), QKeySequence(), [edit] { edit->del(); });
    del->setVisible(false);
    menu->addSeparator();
    TPathSide *s = &side;
    // The items' states are those of the moment the menu opens.
    connect(menu, &QMenu::aboutToShow, this, [this, s] { PopupOpen(*s); });
    QAction *match = add(matchText, QKeySequence(Qt::CTRL | Qt::Key_M), [this, s] { MatchOther(*s); });
    // Ctrl+M works in the box without opening the menu, while it may.
    auto *matchKey = new QAction(edit);
    matchKey->setShortcut(match->shortcut());
    matchKey->setShortcutContext(Qt::WidgetShortcut);
    connect(matchKey, &QAction::triggered, this, [this, s] {
        if (!Other(*s).Tree->Selection().empty())
            MatchOther(*s);
    });
    edit->addAction(matchKey);
    return menu;
}

// ------------------------------------------------------------------ start rule and completion

void TMainForm::UpdateStartButton()
{
    const TPathKind source = GetPathKind(TypedPath(ui->EditSource));
    const TPathKind target = GetPathKind(TypedPath(ui->EditTarget));
    ui->StartBtn->setEnabled(source != pkNone && source == target);
}

bool TMainForm::TryCompletion(QLineEdit *edit)
{
    const std::vector<std::string> &candidates = DirectoryListBox1->ItemPaths();
    if (candidates.empty())
        return false;
    const QString text = edit->text();
    const qsizetype n = text.size();
    int matches = 0;
    int found = -1;
    for (int i = 0; i < int(candidates.size()); ++i) {
        const QString candidate = FromPath(candidates[i]);
        if (candidate.size() > n && candidate.left(n).compare(text, Qt::CaseInsensitive) == 0) {
            ++matches;
            found = i;
        }
    }
    if (matches != 1 || found == 0)
        return false;
    FCompletionArmed = false;
    // The whole text becomes the candidate, so the box shows the folder's
    // real spelling even when it was typed in another letter case.
    const QString candidate = FromPath(candidates[found]);
    edit->setText(candidate + QLatin1Char('/'));
    edit->setSelection(int(n), int(candidate.size() - n + 1));
    return true;
}

void TMainForm::BoxChange(TPathSide &side)
{
    if (FCompletionArmed)
        TryCompletion(side.Edit);
    UpdateStartButton();
}

void TMainForm::EditSourceChange()
{
    BoxChange(m_source);
}

void TMainForm::EditTargetChange()
{
    BoxChange(m_target);
    ScrollLogToEnd();
}

// ------------------------------------------------------------------ keys

bool TMainForm::BoxKeyPress(TPathSide &side, QKeyEvent *key)
{
    if (!IsCharacterKey(key))
        return false;
    side.ShowHistory();
    bool swallowed = false;
    if ((key->modifiers() & Qt::ControlModifier) && key->key() == Qt::Key_A) {
        side.Edit->selectAll();
        swallowed = true;
    } else if (key->key() == Qt::Key_Backspace) {
        return false; // the armed flag stays as it was
    } else if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        BoxEnterPressed(side);
        swallowed = true;
    }
    FCompletionArmed = true;
    return swallowed;
}

void TMainForm::BoxEnterPressed(TPathSide &side)
{
    QLineEdit *edit = side.Edit;
    edit->setText(TrimBlanks(edit->text()));
    std::string path = TypedPath(edit);
    switch (GetPathKind(path)) {
    case pkFile: {
        // The box holds the file's absolute path from here on: the tree's
        // selection changes the current folder, which would move a relative
        // path elsewhere.
        path = AbsolutePath(path);
        edit->setText(FromPath(path));
        side.PendingFile = 1;
        const auto slash = path.rfind('/');
        const std::string folder = slash == 0 ? std::string("/") : path.substr(0, slash);
        if (!SelectWithAutoExpand(side.Tree, folder, true)) {
            side.PendingFile = 0;
            ShowPathNotValid(edit);
            break;
        }
        Guarded([&] { side.FileList->SetFileName(path); });
        // The tree showed that folder already, so no change handling ran the
        // box update: run it now, or the mark would wait for a later update
        // and make it keep this file instead of the folder then chosen.
        if (side.PendingFile == 1)
            UpdateBox(side);
        break;
    }
    case pkFolder: {
        const std::string previous = CurrentFolder();
        if (const int error = SetCurrentFolder(path)) {
            ShowPathNotValid(edit, QString::fromLocal8Bit(std::strerror(error)));
            break;
        }
        // A folder the tree cannot show (a hidden one while hidden folders
        // are left out) is refused as it is: selecting the nearest folder
        // the tree does show would change the box to a folder nobody chose.
        if (!SelectWithAutoExpand(side.Tree, CurrentFolder(), true)) {
            if (!previous.empty())
                SetCurrentFolder(previous);
            ShowPathNotValid(edit);
            break;
        }
        if (edit->hasSelectedText()) {
            const int end = edit->selectionEnd();
            edit->deselect();
            edit->setCursorPosition(end);
        }
        break;
    }
    case pkNone:
        ShowPathNotValid(edit);
        break;
    }
}

void TMainForm::EnterPaths(const std::vector<std::string> &paths)
{
    TPathSide *sides[] = {&m_source, &m_target};
    for (std::size_t i = 0; i < paths.size() && i < 2; ++i) {
        sides[i]->Edit->setText(FromPath(paths[i]));
        BoxEnterPressed(*sides[i]);
    }
}

void TMainForm::ShowPathNotValid(const QLineEdit *edit, const QString &reason)
{
    QString text = QStringLiteral("'") + edit->text() + QStringLiteral("' is not a valid path name.");
    if (!reason.isEmpty())
        text += QLatin1Char('\n') + reason;
    ShowMessageBox(QStringLiteral("Path Not Valid            "), text, QMessageBox::Warning, QMessageBox::Ok);
}

// ------------------------------------------------------------------ box update

void TMainForm::UpdateBox(TPathSide &side)
{
    const bool listFocused = side.FileList->hasFocus();
    if (listFocused || side.PendingFile == 1) {
        if (listFocused)
            side.Edit->setText(FromPath(side.FileList->FileName()));
        const qint64 kb = qint64(FileSizeOf(TypedPath(side.Edit)) / 1024);
        statusBar()->showMessage(QStringLiteral("File selected - ") + FormatThousands(kb) + QStringLiteral(" KB"));
        side.PendingFile = 0;
    } else {
        side.Edit->setText(FromPath(side.Tree->Selection()));
        Guarded([&] { side.FileList->ReadFileNames(); });
    }
    side.Edit->setCursorPosition(int(side.Edit->text().size()));
}

// ------------------------------------------------------------------ focus and clicks

void TMainForm::BoxEnter(TPathSide &side)
{
    SetCandidateFolder(side.FileList->Directory());
    side.ShowHistory();
    FJustEntered = true;
}

void TMainForm::BoxExit(TPathSide &side)
{
    if (QApplication::focusWidget() != side.History)
        side.History->hide();
    FJustEntered = false;
}

void TMainForm::BoxClick(TPathSide &side)
{
    if (FJustEntered) {
        FJustEntered = false;
        return;
    }
    side.ToggleHistory();
}

// ------------------------------------------------------------------ history

bool TMainForm::HistoryChoose(TPathSide &side)
{
    QListWidgetItem *item = side.History->currentItem();
    if (!item || !item->isSelected())
        return false;
    side.Tree->SetSelection(ToPath(item->text()));
    side.History->hide();
    side.Edit->setFocus(Qt::OtherFocusReason);
    // The box's focus handling shows the list again; the choice is made,
    // so it goes away.
    side.History->hide();
    UpdateBox(side);
    return true;
}

void TMainForm::UpdatePathHistory()
{
    m_source.AddToHistory();
    m_target.AddToHistory();
}

bool TMainForm::HistoryKeyPress(TPathSide &side, QKeyEvent *key)
{
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    HistoryChoose(side); // Enter is swallowed, chosen or not
    return true;
}

// ------------------------------------------------------------------ pop-up menus

void TMainForm::PopupOpen(TPathSide &side)
{
    const QList<QAction *> items = side.Popup->actions();
    QLineEdit *edit = side.Edit;
    const bool selection = edit->hasSelectedText();
    const QClipboard *clipboard = QApplication::clipboard();
    // Items in menu order; separators stay as they are.
    const bool enabled[] = {
        edit->isUndoAvailable(),
        false,
        selection,
        selection,
        clipboard && !clipboard->text().isEmpty(),
        !edit->text().isEmpty(),
        selection,
        false,
        !Other(side).Tree->Selection().empty(),
    };
    for (int i = 0; i < items.size() && i < int(std::size(enabled)); ++i)
        if (!items[i]->isSeparator())
            items[i]->setEnabled(enabled[i]);
}

void TMainForm::MatchOther(TPathSide &side)
{
    const TPathSide &other = Other(side);
    SelectWithAutoExpand(side.Tree, other.Tree->Selection());
    side.Edit->setText(other.Edit->text());
}

// ------------------------------------------------------------------ shared steps

bool TMainForm::SelectWithAutoExpand(TSystemTreeView *tree, const std::string &path, bool exactly)
{
    tree->SetAutoExpand(true);
    bool selected = !exactly;
    Guarded([&] {
        if (exactly)
            selected = tree->SetSelectionExactly(path);
        else
            tree->SetSelection(path);
    });
    tree->SetAutoExpand(ui->MenuAutoExpand->isChecked());
    return selected;
}

void TMainForm::SetCandidateFolder(const std::string &folder)
{
    // Candidates only help typing: a folder that cannot be listed leaves the
    // list as it was, without troubling the user.
    if (folder.empty())
        return;
    try {
        DirectoryListBox1->SetDirectory(folder);
    } catch (const std::exception &) {
    }
}

void TMainForm::ResetPathSelection()
{
    for (TPathSide *side : {&m_source, &m_target}) {
        side->Tree->FullCollapse();
        side->Tree->Reset();
    }
    for (TPathSide *side : {&m_source, &m_target}) {
        side->FileList->Clear();
        side->Edit->clear();
        // A notification the run's own selections left delayed would start
        // watching the folder the tree shows, and what that watcher reports
        // moves the tree, which fills the box again: nothing is chosen now.
        side->Tree->CancelDelayedNotification();
    }
}

// ------------------------------------------------------------------ event routing

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    for (TPathSide *side : {&m_source, &m_target}) {
        if (watched == side->Edit) {
            switch (event->type()) {
            case QEvent::KeyPress: {
                auto *key = static_cast<QKeyEvent *>(event);
                if (side->KeyDownToHistory(key))
                    return true;
                return BoxKeyPress(*side, key);
            }
            case QEvent::FocusIn: {
                const auto reason = static_cast<QFocusEvent *>(event)->reason();
                if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
                    BoxEnter(*side);
                break;
            }
            case QEvent::FocusOut: {
                const auto reason = static_cast<QFocusEvent *>(event)->reason();
                if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
                    BoxExit(*side);
                break;
            }
            case QEvent::MouseButtonRelease:
                if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
                    if (m_afterDoubleClick)
                        m_afterDoubleClick = false;
                    else
                        BoxClick(*side);
                }
                break;
            case QEvent::MouseButtonDblClick:
                side->Edit->selectAll();
                m_afterDoubleClick = true;
                return true;
            default:
                break;
            }
            return false;
        }
        if (watched == side->History) {
            if (event->type() == QEvent::KeyPress)
                return HistoryKeyPress(*side, static_cast<QKeyEvent *>(event));
            if (event->type() == QEvent::FocusOut) {
                if (static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason)
                    side->History->hide();
            }
            return false;
        }
        if (watched == side->History->viewport() && event->type() == QEvent::MouseButtonPress) {
            const QPoint pos = static_cast<QMouseEvent *>(event)->position().toPoint();
            if (QListWidgetItem *item = side->History->itemAt(pos)) {
                side->History->setCurrentItem(item);
                item->setSelected(true);
            }
            HistoryChoose(*side);
            return true;
        }
    }
    return OptionsEventFilter(watched, event);
}
