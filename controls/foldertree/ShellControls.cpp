#include "ShellControls.h"

#include "MountMonitor.h"

#include <QEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QTimerEvent>

#include <algorithm>
#include <atomic>
#include <cstdio>

// ---------------------------------------------------------------- errors

namespace {

std::string WithResult(const char *format, unsigned result)
{
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, format, result);
    return buffer;
}

} // namespace

std::string ShellControlsMessage(int resource)
{
    switch (resource) {
    case 10000: return "Could not get the root folder.";
    case 10005: return "Could not enumerate system objects.";
    case 10010: return "Could not get folder data.";
    case 10015: return "Could not find folder.";
    case 10020: return "Could not get Desktop folder.";
    case 10025: return "InvokeCommand failed. Result = $%x";
    case 10030: return "Could not get UI object. Result = $%x";
    case 10035: return "Memory Leak Detected.  Not all folder data was freed.";
    case 10040: return "Error parsing mask string.";
    default: return {};
    }
}

const char *const SErrorParsingMask = "Error parsing mask string.";

ENoRootFolder::ENoRootFolder() : EShellControlError(ShellControlsMessage(10000)) {}
ENoEnumObjects::ENoEnumObjects() : EShellControlError(ShellControlsMessage(10005)) {}
ENoFolderData::ENoFolderData() : EShellControlError(ShellControlsMessage(10010)) {}
ENoBindFolder::ENoBindFolder() : EShellControlError(ShellControlsMessage(10015)) {}
ENoDesktopFolder::ENoDesktopFolder() : EShellControlError(ShellControlsMessage(10020)) {}
ELeaking::ELeaking() : EShellControlError(ShellControlsMessage(10035)) {}
EInvokeFailed::EInvokeFailed(unsigned result) : EShellControlError(WithResult("InvokeCommand failed. Result = $%X", result)) {}
ENoUIObject::ENoUIObject(unsigned result) : EShellControlError(WithResult("Could not get UI object. Result = $%X", result)) {}

// ---------------------------------------------------------------- node data

namespace {

std::atomic<long> g_liveFolderData{0};

std::vector<TCustomSystemTreeView *> &Trees()
{
    static std::vector<TCustomSystemTreeView *> trees;
    return trees;
}

// Runs the leak check when the program ends. An error cannot travel
// anywhere from here, so it is written out instead.
struct TLeakCheckAtExit {
    ~TLeakCheckAtExit()
    {
        try {
            CheckFolderDataLeaks();
        } catch (const ELeaking &e) {
            std::fprintf(stderr, "%s\n", e.what());
        }
    }
} g_leakCheckAtExit;

} // namespace

TFolderItemData::TFolderItemData()
{
    ++g_liveFolderData;
}

TFolderItemData::~TFolderItemData()
{
    FreePIDL(RelativeID);
    FreePIDL(AbsoluteID);
    --g_liveFolderData;
}

long TFolderItemData::LiveCount()
{
    return g_liveFolderData.load();
}

void CheckFolderDataLeaks()
{
    if (TFolderItemData::LiveCount() > 0)
        throw ELeaking();
}

// ---------------------------------------------------------------- the tree base

namespace {

// Links a new control with the first unlinked sibling of the other kinds
// below the same parent widget, as placing them together on a form does.
template <typename Want, typename Fn>
void ForSiblings(QWidget *self, Fn fn)
{
    if (!self->parentWidget())
        return;
    for (QObject *child : self->parentWidget()->children())
        if (auto *w = dynamic_cast<Want *>(child); w && child != self)
            if (fn(w))
                return;
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

// ---------------------------------------------------------------- the siblings

namespace {

// The tree's link of each sibling kind.
TCustomSystemListView *TreeLink(TCustomSystemTreeView *tree, TCustomSystemListView *)
{
    return tree->ListView();
}
TCustomSystemComboBox *TreeLink(TCustomSystemTreeView *tree, TCustomSystemComboBox *)
{
    return tree->ComboBox();
}
void SetTreeLink(TCustomSystemTreeView *tree, TCustomSystemListView *list)
{
    tree->SetListView(list);
}
void SetTreeLink(TCustomSystemTreeView *tree, TCustomSystemComboBox *combo)
{
    tree->SetComboBox(combo);
}
// The other sibling's link back.
TCustomSystemComboBox *OtherLink(TCustomSystemListView *list)
{
    return list->ComboBox();
}
TCustomSystemListView *OtherLink(TCustomSystemComboBox *combo)
{
    return combo->ListView();
}
void SetOtherLink(TCustomSystemListView *list, TCustomSystemComboBox *combo)
{
    list->SetComboBox(combo);
}
void SetOtherLink(TCustomSystemComboBox *combo, TCustomSystemListView *list)
{
    combo->SetListView(list);
}

} // namespace

template <typename QtBase, typename Self, typename Other>
TSystemSibling<QtBase, Self, Other>::TSystemSibling(QWidget *parent) : QtBase(parent)
{
    QObject::connect(TMountMonitor::Instance(), &TMountMonitor::MountsChanged, this, [this] { DeviceChanged(); });
    SetupImageList();
    ForSiblings<TCustomSystemTreeView>(this, [this](TCustomSystemTreeView *tree) {
        if (TreeLink(tree, self()) || m_treeView)
            return false;
        SetTreeView(tree);
        return true;
    });
    ForSiblings<Other>(this, [this](Other *other) {
        if (OtherLink(other) || m_other)
            return false;
        SetOtherSibling(other);
        return true;
    });
}

template <typename QtBase, typename Self, typename Other>
TSystemSibling<QtBase, Self, Other>::~TSystemSibling()
{
    if (m_treeView && TreeLink(m_treeView, self()) == self())
        SetTreeLink(m_treeView, static_cast<Self *>(nullptr));
    if (m_other && OtherLink(m_other) == self())
        SetOtherLink(m_other, static_cast<Self *>(nullptr));
}

template <typename QtBase, typename Self, typename Other>
void TSystemSibling<QtBase, Self, Other>::SetTreeView(TCustomSystemTreeView *tree)
{
    if (m_treeView == tree)
        return;
    m_treeView = tree;
    if (tree)
        SetTreeLink(tree, self());
}

template <typename QtBase, typename Self, typename Other>
void TSystemSibling<QtBase, Self, Other>::SetOtherSibling(Other *other)
{
    if (m_other == other)
        return;
    m_other = other;
    if (other)
        SetOtherLink(other, self());
}

template <typename QtBase, typename Self, typename Other>
void TSystemSibling<QtBase, Self, Other>::DeviceChanged()
{
    if (m_treeView)
        m_treeView->Reset();
    else
        Reset();
}

template <typename QtBase, typename Self, typename Other>
void TSystemSibling<QtBase, Self, Other>::SetupImageList()
{
    TSystemImageList::Instance();
    QtBase::setIconSize(QSize(16, 16));
}

template <typename QtBase, typename Self, typename Other>
QWidget *TSystemSibling<QtBase, Self, Other>::GetValidHandle()
{
    return this;
}

template <typename QtBase, typename Self, typename Other>
void TSystemSibling<QtBase, Self, Other>::Reset()
{
    NotifyLinkedControls(false);
}

template <typename QtBase, typename Self, typename Other>
void TSystemSibling<QtBase, Self, Other>::NotifyLinkedControls(bool force)
{
    if (m_treeView)
        m_treeView->LinkedControlChanged(this, force);
    if (m_other)
        m_other->LinkedControlChanged(this, force);
}

template <typename QtBase, typename Self, typename Other>
void TSystemSibling<QtBase, Self, Other>::LinkedControlChanged(QObject *sender, bool force)
{
    if (!sender)
        return;
    if (sender == m_treeView)
        LinkedReset(m_treeView->GetSelectionParentFolder(), m_treeView->GetSelectionPIDL(), force);
    else if (sender == m_other)
        LinkedReset(m_other->GetSelectionParentFolder(), m_other->GetSelectionPIDL(), force);
}

template class TSystemSibling<QListWidget, TCustomSystemListView, TCustomSystemComboBox>;
template class TSystemSibling<QComboBox, TCustomSystemComboBox, TCustomSystemListView>;

TCustomSystemComboBox::TCustomSystemComboBox(QWidget *parent) : TSystemSibling(parent)
{
    connect(this, QOverload<int>::of(&QComboBox::activated), this, [this](int) { NotifyLinkedControls(false); });
}
