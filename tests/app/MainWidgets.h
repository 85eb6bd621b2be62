// The main window's widgets that the tests drive, found by their object
// names: the tests see the window as a user does, not through its generated
// form. A name that the window no longer has ends the test at once, naming
// the widget, instead of failing later on a null pointer.
#pragma once

#include "app/OptionStrip.h"
#include "app/Quorvellogo.h"
#include "app/RatioSplitter.h"
#include "controls/filelist/FlCtrlEx.h"
#include "controls/foldertree/SystemTreeView.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QRadioButton>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QtGlobal>

namespace QvlTest {

// The lines a list shows, top to bottom, whatever model it shows them from.
inline QStringList ShownLines(const QAbstractItemView *list)
{
    QStringList out;
    const QAbstractItemModel *model = list->model();
    for (int row = 0; row < model->rowCount(); ++row)
        out << model->index(row, 0).data().toString();
    return out;
}

struct MainWidgets {
    explicit MainWidgets(const QObject &form)
        : m_form(&form)
    {
        Find(ClientPanel, "ClientPanel");
        Find(PanelMain, "PanelMain");
        Find(PanelTreeL, "PanelTreeL");
        Find(PanelTreeR, "PanelTreeR");
        Find(PanelTrees, "PanelTrees");
        Find(PanelVerify, "PanelVerify");
        Find(ListSplitter, "ListSplitter");
        Find(PanelTreesSplitter, "PanelTreesSplitter");
        Find(SourceSplitter, "SourceSplitter");
        Find(TargetSplitter, "TargetSplitter");
        Find(ToolBar1, "ToolBar1");
        Find(MenuFile, "MenuFile");
        Find(MenuHelp, "MenuHelp");
        Find(MenuSettings, "MenuSettings");
        Find(MenuView, "MenuView");
        Find(Button1, "Button1");
        Find(FileExitItem, "FileExitItem");
        Find(FileNewItem, "FileNewItem");
        Find(FileOpenItem, "FileOpenItem");
        Find(FilePrintItem, "FilePrintItem");
        Find(FilePrintSetupItem, "FilePrintSetupItem");
        Find(FileSaveAsItem, "FileSaveAsItem");
        Find(FileSaveItem, "FileSaveItem");
        Find(HelpAboutItem, "HelpAboutItem");
        Find(MenuAutoExpand, "MenuAutoExpand");
        Find(MenuFromDisk, "MenuFromDisk");
        Find(MenuRecordChecksums, "MenuRecordChecksums");
        Find(MenuCompareAttributes, "MenuCompareAttributes");
        Find(MenuTargetOnly, "MenuTargetOnly");
        Find(FileCheckChecksumsItem, "FileCheckChecksumsItem");
        Find(MenuRefreshDirectories, "MenuRefreshDirectories");
        Find(MenuShowLog, "MenuShowLog");
        Find(SB_sync, "SB_sync");
        Find(SpeedButtonAbout, "SpeedButtonAbout");
        Find(SpeedButtonExit, "SpeedButtonExit");
        Find(SpeedButtonHelp, "SpeedButtonHelp");
        Find(EditSource, "EditSource");
        Find(EditTarget, "EditTarget");
        Find(EditSourceHistory, "EditSourceHistory");
        Find(EditTargetHistory, "EditTargetHistory");
        Find(ListBoxV, "ListBoxV");
        Find(ListLog, "ListLog");
        Find(SourceTreeView, "SourceTreeView");
        Find(TargetTreeView, "TargetTreeView");
        Find(SourceFileListBox, "SourceFileListBox");
        Find(TargetFileListBox, "TargetFileListBox");
        Find(AOptionPanel, "AOptionPanel");
        Find(MyFilterBox, "MyFilterBox");
        Find(CheckBoxHidden, "CheckBoxHidden");
        Find(GroupDelete, "GroupDelete");
        Find(GroupOptions, "GroupOptions");
        Find(RadioDelNone, "RadioDelNone");
        Find(RadioDelSource, "RadioDelSource");
        Find(RadioDelTarget, "RadioDelTarget");
        Find(CancelBitBtn, "CancelBitBtn");
        Find(ReturnBitBtn, "ReturnBitBtn");
        Find(StartBtn, "StartBtn");
        Find(Different, "Different");
        Find(LabelElapsed, "LabelElapsed");
        Find(LabelFilter, "LabelFilter");
        Find(LabelRate, "LabelRate");
        Find(LabelRemain, "LabelRemain");
        Find(Missing, "Missing");
        Find(Same, "Same");
        Find(SourcePath, "SourcePath");
        Find(TargetPath, "TargetPath");
        Find(TotalDir, "TotalDir");
        Find(TotalFiles, "TotalFiles");
        Find(TotalSize, "TotalSize");
        Find(FrameQvlLogo1, "FrameQvlLogo1");
    }

    // Exactly one object of type T under `root`, outside the dialogs the
    // window owns (the about box has a logo frame too), is named `name`;
    // anything else is a fault of the test or of the window, told and fatal.
    template <class T>
    static T *Need(const QObject &root, const char *name)
    {
        QList<T *> found = root.findChildren<T *>(QLatin1String(name));
        found.removeIf([&root](const QObject *o) {
            for (const QObject *p = o->parent(); p && p != &root; p = p->parent())
                if (qobject_cast<const QDialog *>(p))
                    return true;
            return false;
        });
        if (found.size() != 1)
            qFatal("The main window has %d objects of type %s named \"%s\"; the tests need one",
                   int(found.size()), T::staticMetaObject.className(), name);
        return found.front();
    }

    QWidget *ClientPanel = nullptr, *PanelMain = nullptr, *PanelTreeL = nullptr,
            *PanelTreeR = nullptr, *PanelTrees = nullptr, *PanelVerify = nullptr;
    QSplitter *ListSplitter = nullptr;
    TRatioSplitter *PanelTreesSplitter = nullptr, *SourceSplitter = nullptr,
                   *TargetSplitter = nullptr;
    QToolBar *ToolBar1 = nullptr;
    QMenu *MenuFile = nullptr, *MenuHelp = nullptr, *MenuSettings = nullptr, *MenuView = nullptr;
    QAction *Button1 = nullptr, *FileExitItem = nullptr, *FileNewItem = nullptr,
            *FileOpenItem = nullptr, *FilePrintItem = nullptr, *FilePrintSetupItem = nullptr,
            *FileSaveAsItem = nullptr, *FileSaveItem = nullptr, *HelpAboutItem = nullptr,
            *MenuAutoExpand = nullptr, *MenuFromDisk = nullptr, *MenuRecordChecksums = nullptr,
            *FileCheckChecksumsItem = nullptr, *MenuRefreshDirectories = nullptr,
            *MenuShowLog = nullptr, *SB_sync = nullptr, *SpeedButtonAbout = nullptr,
            *SpeedButtonExit = nullptr, *SpeedButtonHelp = nullptr;
    QAction *MenuCompareAttributes = nullptr, *MenuTargetOnly = nullptr;
    QLineEdit *EditSource = nullptr, *EditTarget = nullptr;
    QListWidget *EditSourceHistory = nullptr, *EditTargetHistory = nullptr, *ListLog = nullptr;
    // The verify log: a view over the run's log model.
    QListView *ListBoxV = nullptr;
    TSystemTreeView *SourceTreeView = nullptr, *TargetTreeView = nullptr;
    TFileListBoxEx *SourceFileListBox = nullptr, *TargetFileListBox = nullptr;
    TOptionStrip *AOptionPanel = nullptr;
    QComboBox *MyFilterBox = nullptr;
    QCheckBox *CheckBoxHidden = nullptr;
    QGroupBox *GroupDelete = nullptr, *GroupOptions = nullptr;
    QRadioButton *RadioDelNone = nullptr, *RadioDelSource = nullptr, *RadioDelTarget = nullptr;
    QToolButton *CancelBitBtn = nullptr, *ReturnBitBtn = nullptr, *StartBtn = nullptr;
    QLabel *Different = nullptr, *LabelElapsed = nullptr, *LabelFilter = nullptr,
           *LabelRate = nullptr, *LabelRemain = nullptr, *Missing = nullptr, *Same = nullptr,
           *SourcePath = nullptr, *TargetPath = nullptr, *TotalDir = nullptr,
           *TotalFiles = nullptr, *TotalSize = nullptr;
    TFrameQvlLogo *FrameQvlLogo1 = nullptr;

private:
    template <class T>
    void Find(T *&widget, const char *name) { widget = Need<T>(*m_form, name); }
    const QObject *m_form;
};

} // namespace QvlTest
