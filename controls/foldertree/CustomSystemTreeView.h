// The tree base of the folder family (QTreeWidget underneath).
#pragma once

#include "controls/foldertree/PidlHelp.h"
#include "controls/foldertree/ShellNamespace.h"

#include <QTreeWidget>

#include <cstdint>
#include <vector>

class TCustomSystemListView;
class TCustomSystemComboBox;

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
    virtual PCItemIDList GetSelectionPIDL() = 0; // points into the selected node's data
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
