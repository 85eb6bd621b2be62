// TMainForm: creation, the layout rules, the menus and tool bar, hints, the
// version lines and leaving the program.
#include "app/QvlMain.h"

#include "app/QvlAbout.h"
#include "app/QvlApplication.h"
#include "app/QvlMainRun.h"
#include "app/QvlPictures.h"
#include "platform/QvlVersion.h"
#include "ui_QvlMain.h"

#include "controls/filelist/DirectoryListBox.h"
#include "controls/filelist/FlCtrlEx.h"
#include "controls/foldertree/SystemTreeView.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QShortcut>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolButton>

#include <new>
#include <vector>

TMainForm *MainForm = nullptr;

namespace {
const QString kVersionNames[] = {
    QStringLiteral("CompanyName"),      QStringLiteral("FileDescription"),
    QStringLiteral("FileVersion"),      QStringLiteral("InternalName"),
    QStringLiteral("LegalCopyright"),   QStringLiteral("LegalTradeMarks"),
    QStringLiteral("OriginalFileName"), QStringLiteral("ProductName"),
    QStringLiteral("ProductVersion"),   QStringLiteral("Comments"),
};
} // namespace

TMainForm::TMainForm(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::TMainForm)
{
    ui->setupUi(this);
    if (!MainForm)
        MainForm = this;
    SetUpControls();
    FormCreate();
}

TMainForm::~TMainForm()
{
    if (MainForm == this)
        MainForm = nullptr;
    delete ui;
}

void TMainForm::SetUpControls()
{
    TimerTreeReset = new QTimer(this);
    TimerTreeReset->setSingleShot(true);
    TimerVerify = new QTimer(this);
    TimerVerify->setInterval(1000);

    ui->StartBtn->setIcon(GlyphIcon(TGlyph::Start));
    ui->ReturnBitBtn->setIcon(GlyphIcon(TGlyph::Return));
    ui->CancelBitBtn->setIcon(GlyphIcon(TGlyph::Cancel));
    QPalette red = ui->LabelFilter->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    ui->LabelFilter->setPalette(red);

    // The two strips hold three rows of controls in 70 pixels: they use the
    // small size of the desktop font, whatever the desktop's own size is.
    for (QWidget *strip : {static_cast<QWidget *>(ui->AOptionPanel), static_cast<QWidget *>(ui->APanelTopP)}) {
        QFont small = strip->font();
        small.setPointSizeF(std::min<qreal>(small.pointSizeF(), 8));
        strip->setFont(small);
    }
    // The strips place their controls by the proportions of the design
    // width, the client width the window starts with.
    ui->AOptionPanel->CaptureDesign(650);
    ui->APanelTopP->CaptureDesign(650);

    // Trees: the Target tree highlights only the folder's name.
    for (TSystemTreeView *tree : {ui->SourceTreeView, ui->TargetTreeView}) {
        tree->setIndentation(19);
        tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    }
    ui->SourceTreeView->SetRowSelect(true);

    // Layout ratios, each held by its splitter (Tag, in percent).
    ui->PanelTreesSplitter->SetTag(50);
    ui->PanelTreesSplitter->SetRatioBase(ui->PanelTrees, 4);
    ui->SourceSplitter->SetTag(70);
    ui->SourceSplitter->SetRatioBase(ui->PanelTreeL, 27);
    ui->TargetSplitter->SetTag(70);
    ui->TargetSplitter->SetRatioBase(ui->PanelTreeR, 27);
    ui->ListSplitter->setStretchFactor(0, 1);
    ui->ListSplitter->setStretchFactor(1, 0);
    ui->ListSplitter->setSizes({400, 124});

    DirectoryListBox1 = new TDirectoryListBox(this);
    DirectoryListBox1->hide();

    SetUpMenusAndTools();
    SetUpPathBoxes();
    SetUpSync();
    SetUpOptions();
    SetUpRun();
}

TRunWidgets TMainForm::RunWidgets() const
{
    TRunWidgets w;
    w.EditSource = ui->EditSource;
    w.EditTarget = ui->EditTarget;
    w.SourceTreeView = ui->SourceTreeView;
    w.TargetTreeView = ui->TargetTreeView;
    w.SourceFileListBox = ui->SourceFileListBox;
    w.CheckBoxSubDir = ui->CheckBoxSubDir;
    w.CheckBoxHidden = ui->CheckBoxHidden;
    w.MenuFromDisk = ui->MenuFromDisk;
    w.MenuRecordChecksums = ui->MenuRecordChecksums;
    w.MenuCompareAttributes = ui->MenuCompareAttributes;
    w.MenuTargetOnly = ui->MenuTargetOnly;
    w.FileCheckChecksumsItem = ui->FileCheckChecksumsItem;
    w.MenuAutoExpand = ui->MenuAutoExpand;
    w.RadioDelNone = ui->RadioDelNone;
    w.RadioDelSource = ui->RadioDelSource;
    w.RadioDelTarget = ui->RadioDelTarget;
    w.StartBtn = ui->StartBtn;
    w.CancelBitBtn = ui->CancelBitBtn;
    w.ReturnBitBtn = ui->ReturnBitBtn;
    w.SourcePath = ui->SourcePath;
    w.TargetPath = ui->TargetPath;
    w.TotalDir = ui->TotalDir;
    w.TotalFiles = ui->TotalFiles;
    w.TotalSize = ui->TotalSize;
    w.Same = ui->Same;
    w.Different = ui->Different;
    w.Missing = ui->Missing;
    w.PBarFile = ui->PBarFile;
    w.PBarAll = ui->PBarAll;
    w.LabelRate = ui->LabelRate;
    w.LabelElapsed = ui->LabelElapsed;
    w.LabelRemain = ui->LabelRemain;
    w.TimerVerify = TimerVerify;
    w.ListBoxV = ui->ListBoxV;
    w.ListLog = ui->ListLog;
    return w;
}

void TMainForm::SetUpMenusAndTools()
{
    ui->MenuHelp->menuAction()->setVisible(false);
    // Of the File menu only Exit shows, between two separators: the one
    // after the hidden file items goes too, and Qt must not fold the others.
    ui->MenuFile->setSeparatorsCollapsible(false);
    for (QAction *a : ui->MenuFile->actions()) {
        if (a == ui->FilePrintItem)
            break;
        if (a->isSeparator())
            a->setVisible(false);
    }
    ui->SpeedButtonExit->setIcon(GlyphIcon(TGlyph::Exit));
    ui->SB_sync->setIcon(GlyphIcon(TGlyph::Sync));
    ui->SpeedButtonHelp->setIcon(GlyphIcon(TGlyph::Help));
    ui->SpeedButtonAbout->setIcon(GlyphIcon(TGlyph::About));
    ui->ToolBar1->setContentsMargins(8, 0, 0, 0);
    ui->ToolBar1->setFixedHeight(29);
    for (QAction *a : ui->ToolBar1->actions())
        if (QWidget *w = ui->ToolBar1->widgetForAction(a); w && !a->isSeparator())
            w->setFixedSize(25, 25);

    connect(ui->FileNewItem, &QAction::triggered, this, &TMainForm::FileNew);
    connect(ui->FileOpenItem, &QAction::triggered, this, &TMainForm::VFileOpen);
    connect(ui->FileSaveItem, &QAction::triggered, this, &TMainForm::FileSave);
    connect(ui->FileSaveAsItem, &QAction::triggered, this, &TMainForm::FileSaveAs);
    connect(ui->FilePrintItem, &QAction::triggered, this, &TMainForm::FilePrint);
    connect(ui->FilePrintSetupItem, &QAction::triggered, this, &TMainForm::FilePrintSetup);
    connect(ui->FileExitItem, &QAction::triggered, this, &TMainForm::FileExit);
    connect(ui->SpeedButtonExit, &QAction::triggered, this, &TMainForm::FileExit);
    connect(ui->HelpContentsItem, &QAction::triggered, this, &TMainForm::HelpContents);
    connect(ui->SpeedButtonHelp, &QAction::triggered, this, &TMainForm::HelpContents);
    connect(ui->HelpSearchItem, &QAction::triggered, this, &TMainForm::HelpSearch);
    connect(ui->HelpHowToUseItem, &QAction::triggered, this, &TMainForm::HelpHowToUse);
    connect(ui->HelpAboutItem, &QAction::triggered, this, &TMainForm::HelpAbout);
    connect(ui->SpeedButtonAbout, &QAction::triggered, this, &TMainForm::HelpAbout);
    connect(ui->MenuShowLog, &QAction::triggered, this, &TMainForm::MenuShowLogClick);

    connect(ui->PanelTreesSplitter, &QSplitter::splitterMoved, this, &TMainForm::PanelTreesSplitterMoved);
    connect(ui->SourceSplitter, &QSplitter::splitterMoved, this, &TMainForm::SourceSplitterMoved);
    connect(ui->TargetSplitter, &QSplitter::splitterMoved, this, &TMainForm::TargetSplitterMoved);

    // Keyboard ways to the two commands a user looks for first: Ctrl+Return
    // starts when Start could be clicked, Ctrl+Q is File > Exit (during a
    // run that asks the cancel question, as Exit does).
    auto *start = new QShortcut(this);
    start->setKeys({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    connect(start, &QShortcut::activated, this, [this] {
        if (ui->StartBtn->isVisible() && ui->StartBtn->isEnabled())
            ui->StartBtn->click();
    });
    ui->StartBtn->setToolTip(QStringLiteral("Start (Ctrl+Return)"));
    ui->FileExitItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    ui->FileExitItem->setToolTip(QStringLiteral("Exit this application (Ctrl+Q)"));
    ui->SpeedButtonExit->setToolTip(QStringLiteral("Exit (Ctrl+Q)"));

    connect(ui->StartBtn, &QToolButton::clicked, this, &TMainForm::StartBtnClick);
    connect(ui->CancelBitBtn, &QToolButton::clicked, this, &TMainForm::CancelBitBtnClick);
    connect(ui->ReturnBitBtn, &QToolButton::clicked, this, &TMainForm::ReturnBitBtnClick);
}

void TMainForm::FormCreate()
{
    // Panels and size.
    ShowVerifyView(false);
    ui->ListSplitter->handle(1)->setVisible(ui->ListLog->isVisibleTo(this));
    UpdateMinimumSize();
    // The client area holds the tool bar, the views and the status line; the
    // menu bar lies above it.
    resize(650, 650 + menuBar()->sizeHint().height());
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    // Caption, title and version lines.
    setWindowTitle(QStringLiteral("Quorvel ") + GetVersionValue(QStringLiteral("FileVersion")));
    const QString caption = windowTitle();
    const qsizetype dot = caption.lastIndexOf(QLatin1Char('.'));
    TQvlApplication::SetTitle(dot < 0 ? QString() : caption.left(dot));
    GetVersionValue(QStringLiteral("All"));

    // The path selection's own settings.
    ui->StartBtn->setEnabled(false);
    for (TFileListBoxEx *list : {ui->SourceFileListBox, ui->TargetFileListBox})
        list->SetFileType(list->FileType().With(ftNormal));
    ui->SourceFileListBox->SetFileType(ui->SourceFileListBox->FileType().With(ftArchive));
    CheckBoxHiddenClick();
    ui->RadioDelNone->setChecked(true);
    ScrollLogToEnd();
}

// ------------------------------------------------------------------ version

QString TMainForm::GetVersionValue(const QString &name)
{
    QString result = name;
    const std::string file = VersionProgramFile();
    auto log = [this](const QString &line) { ui->ListLog->addItem(line); };
    int error = 0;
    const std::uint32_t size = GetFileVersionInfoSize(file, error);
    if (size == 0) {
        log(QStringLiteral("Error GetFileVersionInfoSize -%1").arg(error));
        return result;
    }
    std::vector<char> block;
    try {
        block.resize(size);
    } catch (const std::bad_alloc &) {
        log(QStringLiteral("Error Memory Allocation -%1").arg(ENOMEM));
        return result;
    }
    if (!GetFileVersionInfo(file, size, block.data(), error)) {
        log(QStringLiteral("Error GetFileVersionInfo -%1").arg(error));
        return result;
    }
    for (const QString &key : kVersionNames) {
        std::string value;
        if (!VerQueryValue(block.data(), size, "\\StringFileInfo\\040904E4\\" + key.toStdString(), value))
            continue;
        const QString text = QString::fromUtf8(value);
        if (name == QLatin1String("All"))
            log(key + QStringLiteral(" = ") + text);
        if (key == name) {
            result = text;
            break;
        }
    }
    if (ui->ListLog->count() > 0)
        ui->ListLog->scrollToItem(ui->ListLog->item(ui->ListLog->count() - 1), QAbstractItemView::PositionAtTop);
    return result;
}

// ------------------------------------------------------------------ layout

void TMainForm::PanelTreesSplitterMoved()
{
    ui->PanelTreesSplitter->StoreRatio();
}

void TMainForm::SourceSplitterMoved()
{
    ui->SourceSplitter->StoreRatio();
}

void TMainForm::TargetSplitterMoved()
{
    ui->TargetSplitter->StoreRatio();
}

void TMainForm::MenuShowLogClick()
{
    // The action toggled its own check mark before this runs.
    const bool show = ui->MenuShowLog->isChecked();
    ui->ListLog->setVisible(show);
    ui->ListSplitter->handle(1)->setVisible(show);
    UpdateMinimumSize();
}

void TMainForm::UpdateMinimumSize()
{
    // 600 x 400 at least; more when the panes' own minimums need it, so
    // that no pane is ever drawn over another.
    // The layouts cache their minimums: refresh them up the chain first.
    for (QWidget *w = ui->ListSplitter; w && w != this; w = w->parentWidget()) {
        w->updateGeometry();
        if (w->layout())
            w->layout()->invalidate();
    }
    layout()->invalidate();
    layout()->activate();
    const QSize panes = layout()->totalMinimumSize();
    setMinimumSize(std::max(600, panes.width()), std::max(400, panes.height()));
}

void TMainForm::ShowHint(const QString &hint)
{
    statusBar()->showMessage(hint);
}

void TMainForm::ShowVerifyView(bool verify)
{
    ui->PanelMain->setVisible(!verify);
    ui->PanelVerify->setVisible(verify);
    ui->MenuView->menuAction()->setVisible(!verify);
    ui->MenuSettings->menuAction()->setVisible(!verify);
    UpdateMinimumSize();
}

void TMainForm::ScrollLogToEnd()
{
    ui->ListLog->scrollToBottom();
}

// ------------------------------------------------------------------ commands

// The File and Help commands other than Exit are hidden and have no function
// in this program; they stay reachable from code as the menu declares them.
void TMainForm::FileNew() {}

void TMainForm::VFileOpen()
{
    QFileDialog::getOpenFileName(this);
}

void TMainForm::FileSave() {}

void TMainForm::FileSaveAs()
{
    QFileDialog::getSaveFileName(this);
}

// No printing: the program has nothing to print, and the items are hidden.
void TMainForm::FilePrint() {}
void TMainForm::FilePrintSetup() {}

void TMainForm::FileExit()
{
    if (ui->ReturnBitBtn->isEnabled())
        close();
    else
        CancelBitBtnClick();
}

// No help file is set, so the help commands have nothing to show.
void TMainForm::HelpContents() {}
void TMainForm::HelpSearch() {}
void TMainForm::HelpHowToUse() {}

void TMainForm::HelpAbout()
{
    if (AboutForm)
        AboutForm->exec();
}

// ------------------------------------------------------------------ events

int TMainForm::ShowMessageBox(const QString &caption, const QString &text, int icon, int buttons)
{
    if (MessageBox)
        return MessageBox(caption, text, icon, buttons);
    QMessageBox box(QMessageBox::Icon(icon), caption, text, QMessageBox::StandardButtons(buttons), this);
    return box.exec();
}

void TMainForm::Guarded(const std::function<void()> &step)
{
    try {
        step();
    } catch (...) {
        ShowException(std::current_exception());
    }
}

bool TMainForm::event(QEvent *event)
{
    if (event->type() == QEvent::StatusTip) {
        ShowHint(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TMainForm::showEvent(QShowEvent *event)
{
    // Showing polishes the controls, which can change what they need.
    QMainWindow::showEvent(event);
    UpdateMinimumSize();
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    if (ui->ReturnBitBtn->isEnabled()) {
        event->accept();
        return;
    }
    event->ignore();
    CancelBitBtnClick();
}
