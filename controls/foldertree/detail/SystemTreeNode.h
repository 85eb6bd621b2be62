// The folder tree's own pieces, shared by the files of TSystemTreeView:
// its node type, and the guards that batch painting and survive a node's
// deletion.
#pragma once

#include "controls/foldertree/FolderItemData.h"
#include "controls/foldertree/SystemTreeView.h"

#include <QTreeWidgetItem>

// One node of the tree; owns its data. Deleting a node (by any route: a
// reset, a re-read of its parent, the tree's own end) releases the data and
// tells the tree, so that nothing keeps watching or pointing at it.
class TSystemTreeNode : public QTreeWidgetItem
{
public:
    static constexpr int NodeType = QTreeWidgetItem::UserType + 0x51;

    TSystemTreeNode(TSystemTreeView *owner, TFolderItemData *data) : QTreeWidgetItem(NodeType), Data(data), m_owner(owner) {}
    ~TSystemTreeNode() override
    {
        m_owner->NodeDeleting(this);
        delete Data;
    }

    bool operator<(const QTreeWidgetItem &other) const override
    {
        auto *a = const_cast<TSystemTreeNode *>(this);
        auto *b = const_cast<QTreeWidgetItem *>(&other);
        const int order = m_owner->m_sortCompare ? (*m_owner->m_sortCompare)(a, b, m_owner->m_sortData)
                                                 : m_owner->DefaultCompare(a, b);
        return order < 0;
    }

    TFolderItemData *Data;

private:
    TSystemTreeView *m_owner;
};

// Paints the tree once at the end of a run of node changes.
class TBulkUpdate
{
public:
    explicit TBulkUpdate(TSystemTreeView *tree) : m_tree(tree)
    {
        if (m_tree->m_updateCount++ == 0)
            m_tree->setUpdatesEnabled(false);
    }
    ~TBulkUpdate()
    {
        if (--m_tree->m_updateCount == 0)
            m_tree->setUpdatesEnabled(true);
    }
    TBulkUpdate(const TBulkUpdate &) = delete;
    TBulkUpdate &operator=(const TBulkUpdate &) = delete;

private:
    TSystemTreeView *m_tree;
};

// Holds a node across a call that may run event handlers (a selection
// change, an opening): get() is nullptr once the node was deleted.
class TNodeGuard
{
public:
    TNodeGuard(TSystemTreeView *tree, QTreeWidgetItem *node) : m_tree(tree), m_node(node)
    {
        m_tree->m_guards.push_back(&m_node);
    }
    ~TNodeGuard() { std::erase(m_tree->m_guards, &m_node); }
    TNodeGuard(const TNodeGuard &) = delete;
    TNodeGuard &operator=(const TNodeGuard &) = delete;
    QTreeWidgetItem *get() const { return m_node; }

private:
    TSystemTreeView *m_tree;
    QTreeWidgetItem *m_node;
};

inline TFolderItemData *DataOf(QTreeWidgetItem *node)
{
    if (!node || node->type() != TSystemTreeNode::NodeType)
        return nullptr;
    return static_cast<TSystemTreeNode *>(node)->Data;
}

inline bool IsAncestor(const QTreeWidgetItem *ancestor, const QTreeWidgetItem *node)
{
    for (const QTreeWidgetItem *p = node ? node->parent() : nullptr; p; p = p->parent())
        if (p == ancestor)
            return true;
    return false;
}
