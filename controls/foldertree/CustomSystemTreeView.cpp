#include "controls/foldertree/CustomSystemTreeView.h"

#include "controls/foldertree/CustomSystemComboBox.h"
#include "controls/foldertree/CustomSystemListView.h"
#include "controls/foldertree/SystemImageList.h"
#include "controls/foldertree/detail/SiblingLink.h"

#include "platform/MountMonitor.h"

#include <QEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QTimerEvent>

#include <algorithm>

namespace {

std::vector<TCustomSystemTreeView *> &Trees()
{
    static std::vector<TCustomSystemTreeView *> trees;
    return trees;
}

} // namespace

TCustomSystemTreeView::TCustomSystemTreeView(QWidget *parent) : QTreeWidget(parent)
{
    setColumnCount(1);
    setHeaderHidden(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    setAnimated(false);
    setExpandsOnDoubleClick(true);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);

    Trees().push_back(this);
    connect(TMountMonitor::Instance(), &TMountMonitor::MountsChanged, this, [this] { DeviceChanged(); });
    m_mainWindowHooked = true;
    SetupImageList();

    connect(this, &QTreeWidget::currentItemChanged, this, &TCustomSystemTreeView::OnCurrentItemChanged);
    connect(this, &QTreeView::expanded, this, &TCustomSystemTreeView::OnExpanded);
    connect(this, &QTreeView::collapsed, this, &TCustomSystemTreeView::OnCollapsed);

    ForSiblings<TCustomSystemListView>(this, [this](TCustomSystemListView *list) {
        if (list->TreeView() || m_listView)
            return false;
        SetListView(list);
        return true;
    });
    ForSiblings<TCustomSystemComboBox>(this, [this](TCustomSystemComboBox *combo) {
        if (combo->TreeView() || m_comboBox)
            return false;
        SetComboBox(combo);
        return true;
    });
}

TCustomSystemTreeView::~TCustomSystemTreeView()
{
    if (m_mainWindowHooked)
        disconnect(TMountMonitor::Instance(), nullptr, this, nullptr);
    KillDelayTimer();
    auto &trees = Trees();
    trees.erase(std::remove(trees.begin(), trees.end(), this), trees.end());
    if (m_listView && m_listView->TreeView() == this)
        m_listView->SetTreeView(nullptr);
    if (m_comboBox && m_comboBox->TreeView() == this)
        m_comboBox->SetTreeView(nullptr);
}

const std::vector<TCustomSystemTreeView *> &TCustomSystemTreeView::TreeViewList()
{
    return Trees();
}

void TCustomSystemTreeView::SetListView(TCustomSystemListView *list)
{
    if (m_listView == list)
        return;
    TCustomSystemListView *old = m_listView;
    m_listView = list;
    if (old && old->TreeView() == this)
        old->SetTreeView(nullptr);
    if (list) {
        connect(list, &QObject::destroyed, this, [this, list] {
            if (m_listView == list)
                m_listView = nullptr;
        });
        list->SetTreeView(this);
    }
}

void TCustomSystemTreeView::SetComboBox(TCustomSystemComboBox *combo)
{
    if (m_comboBox == combo)
        return;
    TCustomSystemComboBox *old = m_comboBox;
    m_comboBox = combo;
    if (old && old->TreeView() == this)
        old->SetTreeView(nullptr);
    if (combo) {
        connect(combo, &QObject::destroyed, this, [this, combo] {
            if (m_comboBox == combo)
                m_comboBox = nullptr;
        });
        combo->SetTreeView(this);
    }
}

void TCustomSystemTreeView::DeviceChanged()
{
    Reset();
}

void TCustomSystemTreeView::TimerEvent()
{
    KillDelayTimer();
    NotifyLinkedControls(false);
}

void TCustomSystemTreeView::SetupImageList()
{
    // The shared list hands out icons; the tree shows them at the small size.
    TSystemImageList::Instance();
    setIconSize(QSize(16, 16));
}

QWidget *TCustomSystemTreeView::GetValidHandle()
{
    return this;
}

void TCustomSystemTreeView::Reset()
{
    NotifyLinkedControls(false);
}

void TCustomSystemTreeView::NotifyLinkedControls(bool force)
{
    if (m_listView)
        m_listView->LinkedControlChanged(this, force);
    if (m_comboBox)
        m_comboBox->LinkedControlChanged(this, force);
}

void TCustomSystemTreeView::LinkedControlChanged(QObject *sender, bool force)
{
    if (!sender)
        return;
    if (sender == m_listView)
        LinkedReset(m_listView->GetSelectionParentFolder(), m_listView->GetSelectionPIDL(), force);
    else if (sender == m_comboBox)
        LinkedReset(m_comboBox->GetSelectionParentFolder(), m_comboBox->GetSelectionPIDL(), force);
}

void TCustomSystemTreeView::Change(QTreeWidgetItem *node)
{
    DoChangeEvent(node);
    if (m_readDelay == 0 || m_changeNow) {
        m_changeNow = false;
        NotifyLinkedControls(false);
        return;
    }
    KillDelayTimer();
    // Precise: the notification must never come before ReadDelay is over.
    m_timerId = startTimer(m_readDelay, Qt::PreciseTimer);
}

void TCustomSystemTreeView::KillDelayTimer()
{
    if (m_timerId) {
        killTimer(m_timerId);
        m_timerId = 0;
    }
}

void TCustomSystemTreeView::timerEvent(QTimerEvent *event)
{
    if (m_timerId && event->timerId() == m_timerId) {
        TimerEvent();
        return;
    }
    QTreeWidget::timerEvent(event);
}

void TCustomSystemTreeView::changeEvent(QEvent *event)
{
    QTreeWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        SetupImageList();
}

void TCustomSystemTreeView::focusInEvent(QFocusEvent *event)
{
    QTreeWidget::focusInEvent(event);
    // Coming back to the program's window is not entering the control.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        DoEnterEvent();
}

void TCustomSystemTreeView::mouseReleaseEvent(QMouseEvent *event)
{
    QTreeWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        DoClickEvent();
}

bool TCustomSystemTreeView::CanExpand(QTreeWidgetItem *node)
{
    bool allow = true;
    DoExpandingEvent(node, allow);
    return allow;
}

void TCustomSystemTreeView::Expand(QTreeWidgetItem *node)
{
    DoExpandedEvent(node);
}

bool TCustomSystemTreeView::CanCollapse(QTreeWidgetItem *node)
{
    bool allow = true;
    DoCollapsingEvent(node, allow);
    return allow;
}

void TCustomSystemTreeView::Collapse(QTreeWidgetItem *node)
{
    DoCollapsedEvent(node);
}

void TCustomSystemTreeView::ExpandNode(QTreeWidgetItem *node)
{
    if (node && !node->isExpanded())
        node->setExpanded(true);
}

void TCustomSystemTreeView::CollapseNode(QTreeWidgetItem *node)
{
    if (node && node->isExpanded())
        node->setExpanded(false);
}

void TCustomSystemTreeView::OnCurrentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *)
{
    if (current && !current->isSelected())
        current->setSelected(true);
    Change(current);
}

void TCustomSystemTreeView::OnExpanded(const QModelIndex &index)
{
    QTreeWidgetItem *node = itemFromIndex(index);
    if (!node || m_undoing)
        return;
    if (!CanExpand(node)) {
        ++m_undoing;
        node->setExpanded(false);
        --m_undoing;
        return;
    }
    Expand(node);
}

void TCustomSystemTreeView::OnCollapsed(const QModelIndex &index)
{
    QTreeWidgetItem *node = itemFromIndex(index);
    if (!node || m_undoing)
        return;
    if (!CanCollapse(node)) {
        ++m_undoing;
        node->setExpanded(true);
        --m_undoing;
        return;
    }
    Collapse(node);
}
