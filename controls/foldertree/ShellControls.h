// What the folder tree shares with its list and combo siblings: the data of
// one node, the tree base with its delayed change notification and its reset
// on mount changes, the linking of a tree, a list and a combo box, the shared
// icon list and the family's errors.
#pragma once

#include "PidlHelp.h"
#include "ShellNamespace.h"
#include "SystemImageList.h"

#include <QComboBox>
#include <QListWidget>
#include <QTreeWidget>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

class TCustomSystemListView;
class TCustomSystemComboBox;

// ---------------------------------------------------------------- errors

class EShellControlError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

#define QVL_SHELL_ERROR(Name) \
    class Name : public EShellControlError { public: Name(); explicit Name(const std::string &m) : EShellControlError(m) {} };
QVL_SHELL_ERROR(ENoRootFolder)    // "Could not get the root folder."
QVL_SHELL_ERROR(ENoEnumObjects)   // "Could not enumerate system objects."
QVL_SHELL_ERROR(ENoFolderData)    // "Could not get folder data."
QVL_SHELL_ERROR(ENoBindFolder)    // "Could not find folder."
QVL_SHELL_ERROR(ENoDesktopFolder) // "Could not get Desktop folder."
QVL_SHELL_ERROR(ELeaking)         // "Memory Leak Detected.  Not all folder data was freed."
#undef QVL_SHELL_ERROR

class EInvokeFailed : public EShellControlError
{
public:
    explicit EInvokeFailed(unsigned result); // "InvokeCommand failed. Result = $%x"
};
class ENoUIObject : public EShellControlError
{
public:
    explicit ENoUIObject(unsigned result); // "Could not get UI object. Result = $%x"
};

// The family's message texts, by their resource numbers (10000 ... 10040).
std::string ShellControlsMessage(int resource);
extern const char *const SErrorParsingMask; // "Error parsing mask string."

// ---------------------------------------------------------------- node data

// The data of one tree node or list item; owned by it. Every live object is
// counted, so that data a control forgot to free shows at program end.
class TFolderItemData
{
public:
    TFolderItemData();
    ~TFolderItemData();
    TFolderItemData(const TFolderItemData &) = delete;
    TFolderItemData &operator=(const TFolderItemData &) = delete;

    bool ItemHasFlag(std::uint32_t flag) const { return (Attributes & flag) != 0; }
    std::uint64_t GetFileSize() const { return (std::uint64_t(FileSizeHigh) << 32) | FileSizeLow; }

    bool Enumerated = false;       // children already listed into the tree
    TShellFolderPtr ParentFolder;  // the folder that listed this item
    std::uint32_t Attributes = 0;  // sfgao* bits
    std::uint32_t FileSizeLow = 0;
    std::uint32_t FileSizeHigh = 0;
    PItemIDList RelativeID = nullptr; // owned; relative to ParentFolder
    PItemIDList AbsoluteID = nullptr; // owned; from the Desktop

    // How many objects are alive in the whole program.
    static long LiveCount();
};

// Throws ELeaking when folder data is still alive. Runs by itself when the
// program ends (reported there, since nothing can catch it at that point).
void CheckFolderDataLeaks();

// ---------------------------------------------------------------- the tree base

// A tree of the folder family (QTreeWidget underneath). Adds the delayed
// change notification of linked controls, the reset on mount changes and the
// shared icon list. The toolkit events are raised through the Do* hooks.
class TCustomSystemTreeView : public QTreeWidget
{
    Q_OBJECT
public:
    explicit TCustomSystemTreeView(QWidget *parent = nullptr);
    ~TCustomSystemTreeView() override;

    // Milliseconds between a selection change and the notification of the
    // linked controls; 0 notifies at once. Default 500.
    std::uint16_t ReadDelay() const { return m_readDelay; }
    void SetReadDelay(std::uint16_t ms) { m_readDelay = ms; }
    // Id of the running delay timer, 0 when none runs.
    int TimerID() const { return m_timerId; }
    // The next selection change notifies at once (set at construction).
    bool ChangeNow() const { return m_changeNow; }
    void SetChangeNow(bool now) { m_changeNow = now; }
    // Drops a delayed notification that has not gone out yet, and with it
    // what the tree would start then (the folder watching); TimerID is 0
    // afterwards.
    void CancelDelayedNotification() { KillDelayTimer(); }
    bool MainWindowHooked() const { return m_mainWindowHooked; }

    TCustomSystemListView *ListView() const { return m_listView; }
    void SetListView(TCustomSystemListView *list);
    TCustomSystemComboBox *ComboBox() const { return m_comboBox; }
    void SetComboBox(TCustomSystemComboBox *combo);

    // Slot order of the family.
    virtual void DeviceChanged();
    virtual void TimerEvent();
    virtual PItemIDList GetSelectionPIDL() = 0;       // points into the selected node's data
    virtual TShellFolderPtr GetSelectionParentFolder() = 0;

    virtual void SetupImageList();
    virtual QWidget *GetValidHandle();
    virtual bool LinkedReset(const TShellFolderPtr &folder, PCItemIDList id, bool force) = 0;
    virtual void Reset();
    virtual void NotifyLinkedControls(bool force);
    virtual void LinkedControlChanged(QObject *sender, bool force);

    // Every live tree of the family, in order of construction.
    static const std::vector<TCustomSystemTreeView *> &TreeViewList();

protected:
    // The selection moved to `node` (nullptr: nothing selected): raises the
    // change event, then notifies the linked controls now or after ReadDelay.
    virtual void Change(QTreeWidgetItem *node);
    // Asked before a node opens; false keeps it closed.
    virtual bool CanExpand(QTreeWidgetItem *node);
    // Runs after a node opened.
    virtual void Expand(QTreeWidgetItem *node);
    virtual bool CanCollapse(QTreeWidgetItem *node);
    virtual void Collapse(QTreeWidgetItem *node);

    // The toolkit events; TSystemTreeView hands them to its handlers.
    virtual void DoChangeEvent(QTreeWidgetItem *) {}
    virtual void DoExpandingEvent(QTreeWidgetItem *, bool &) {}
    virtual void DoExpandedEvent(QTreeWidgetItem *) {}
    virtual void DoCollapsingEvent(QTreeWidgetItem *, bool &) {}
    virtual void DoCollapsedEvent(QTreeWidgetItem *) {}
    virtual void DoClickEvent() {}
    virtual void DoEnterEvent() {}

    // Opens or closes a node from code, running the same steps as the user.
    void ExpandNode(QTreeWidgetItem *node);
    void CollapseNode(QTreeWidgetItem *node);

    void timerEvent(QTimerEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

    // Set while a refused opening or closing is undone, so that Qt's signal
    // of the undoing does not run the steps again.
    int m_undoing = 0;

private:
    void OnCurrentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous);
    void OnExpanded(const QModelIndex &index);
    void OnCollapsed(const QModelIndex &index);
    void KillDelayTimer();

    std::uint16_t m_readDelay = 500;
    int m_timerId = 0;
    bool m_changeNow = true;
    bool m_mainWindowHooked = false;
    TCustomSystemListView *m_listView = nullptr;
    TCustomSystemComboBox *m_comboBox = nullptr;
};

// ---------------------------------------------------------------- the siblings

// What a list and a combo box of the family share: a link to a tree and to
// the other sibling (`Other`), and the linking contract toward both. Only
// the contract lives here; no window of the program places a sibling.
template <typename QtBase, typename Self, typename Other>
class TSystemSibling : public QtBase
{
public:
    explicit TSystemSibling(QWidget *parent);
    ~TSystemSibling() override;

    TCustomSystemTreeView *TreeView() const { return m_treeView; }
    void SetTreeView(TCustomSystemTreeView *tree);

    virtual void DeviceChanged();
    virtual PItemIDList GetSelectionPIDL() = 0;
    virtual TShellFolderPtr GetSelectionParentFolder() = 0;
    virtual void SetupImageList();
    virtual QWidget *GetValidHandle();
    virtual bool LinkedReset(const TShellFolderPtr &folder, PCItemIDList id, bool force) = 0;
    virtual void Reset();
    virtual void NotifyLinkedControls(bool force);
    virtual void LinkedControlChanged(QObject *sender, bool force);

protected:
    Other *OtherSibling() const { return m_other; }
    void SetOtherSibling(Other *other);

private:
    Self *self() { return static_cast<Self *>(this); }
    TCustomSystemTreeView *m_treeView = nullptr;
    Other *m_other = nullptr;
};

// A list of the family: shows the items of the folder its tree selects.
class TCustomSystemListView : public TSystemSibling<QListWidget, TCustomSystemListView, TCustomSystemComboBox>
{
    Q_OBJECT
public:
    explicit TCustomSystemListView(QWidget *parent = nullptr) : TSystemSibling(parent) {}
    TCustomSystemComboBox *ComboBox() const { return OtherSibling(); }
    void SetComboBox(TCustomSystemComboBox *combo) { SetOtherSibling(combo); }
};

// A combo box of the family: shows the path to the selected folder. A
// choice in the box is passed on to the linked controls.
class TCustomSystemComboBox : public TSystemSibling<QComboBox, TCustomSystemComboBox, TCustomSystemListView>
{
    Q_OBJECT
public:
    explicit TCustomSystemComboBox(QWidget *parent = nullptr);
    TCustomSystemListView *ListView() const { return OtherSibling(); }
    void SetListView(TCustomSystemListView *list) { SetOtherSibling(list); }
};
