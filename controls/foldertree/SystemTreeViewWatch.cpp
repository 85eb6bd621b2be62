// TSystemTreeView: watching the open folders for changes, and re-reading
// what changed.
#include "controls/foldertree/SystemTreeView.h"

#include "controls/foldertree/detail/SystemTreeNode.h"
#include "controls/foldertree/FileChange.h"
#include "platform/EntryProbe.h"

// ---------------------------------------------------------------- watching

void TSystemTreeView::StopWatchers()
{
    m_parentWatch.Stop();
    m_watch.Stop();
}

void TSystemTreeView::WatchDirectoryForChanges(QTreeWidgetItem *node)
{
    StopWatchers();
    std::string path = GetNodePath(node);
    if (m_showFiles && !path.empty() && ProbeEntry(path).isFile)
        path = path.substr(0, path.rfind('/') + 1);
    if (path.empty())
        return;

    const TFSFilterSet filter = (ListView() || m_showFiles)
                                    ? TFSFilterSet(fsfFilename | fsfDirname | fsfAttributes | fsfSize | fsfLastWrite)
                                    : TFSFilterSet(fsfDirname);
    m_watch.Start(node, path, filter, [this](TFileChangeThread *sender) { ThreadDone(sender); });
    m_parentWatch.Start(node->parent(), GetNodePath(node->parent()), fsfDirname,
                        [this](TFileChangeThread *sender) { ParentThreadDone(sender); });
}

void TSystemTreeView::ThreadDone(TFileChangeThread *sender)
{
    if (!m_watch.TakeReport(sender))
        return;
    if (m_parentWatch.Thread())
        m_parentWatch.Stop();

    TBulkUpdate update(this);
    QTreeWidgetItem *node = m_watch.Node();
    const std::string path = GetNodePath(node);
    if (path.empty())
        return;
    const TEntryProbe probe = ProbeEntry(path);
    // Re-reading runs event handlers, which may rebuild the whole tree.
    if (probe.isDir) {
        const bool wasExpanded = node->isExpanded();
        m_watch.Stop();
        TNodeGuard guard(this, node);
        ResetNode(node);
        if (!guard.get())
            return;
        if (wasExpanded) {
            ExpandNode(node);
            scrollToItem(node);
        }
        WatchDirectoryForChanges(node);
    } else if (probe.isFile) {
        WatchDirectoryForChanges(node->parent());
    } else {
        m_watch.Stop();
        RereadParent(node, true);
    }
}

void TSystemTreeView::RereadParent(QTreeWidgetItem *node, bool select)
{
    QTreeWidgetItem *parent = node ? node->parent() : nullptr;
    if (!parent)
        return;
    const bool wasExpanded = parent->isExpanded();
    TNodeGuard guard(this, parent);
    ResetNode(parent);
    if (!guard.get())
        return;
    if (wasExpanded) {
        ExpandNode(parent);
        scrollToItem(parent);
    }
    if (select)
        SetSelected(parent);
}

void TSystemTreeView::DropIfGone(QTreeWidgetItem *node, const std::string &path)
{
    if (node && !path.empty() && !ProbeEntry(path).exists)
        RereadParent(node, false);
}

void TSystemTreeView::ParentThreadDone(TFileChangeThread *sender)
{
    if (!m_parentWatch.TakeReport(sender))
        return;
    const std::string path = GetNodePath(m_watch.Node());
    if (!path.empty() && ProbeEntry(path).isDir)
        return;
    if (m_parentWatch.Node())
        SetSelected(m_parentWatch.Node());
    Reset();
}
