#include "controls/foldertree/SystemSibling.h"

#include "controls/foldertree/CustomSystemComboBox.h"
#include "controls/foldertree/CustomSystemListView.h"
#include "controls/foldertree/CustomSystemTreeView.h"
#include "controls/foldertree/SystemImageList.h"
#include "controls/foldertree/detail/SiblingLink.h"

#include "platform/MountMonitor.h"

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
