// TSystemTreeView: the commands on its folders, from its menu and from
// label editing: rename, delete, new folder.
#include "controls/foldertree/SystemTreeView.h"

#include "controls/foldertree/detail/SystemTreeNode.h"
#include "controls/foldertree/ItemProp.h"
#include "controls/foldertree/ShellControlErrors.h"
#include "platform/ItemDetails.h"
#include "platform/Paths.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QMessageBox>

namespace {

// A node's item as the commands take it, apart from the node: a menu or a
// question waits for the user while watchers and timers go on, and they may
// take the node (and its data) away meanwhile.
struct TDetachedItem {
    TShellFolderPtr folder;
    TPidlHolder id;
    std::uint32_t attributes = 0;
    std::string path;

    // False for a node without data or without an item.
    bool Take(const TFolderItemData *data, std::string nodePath)
    {
        if (!data || !data->RelativeID)
            return false;
        folder = data->ParentFolder;
        id = CopyPIDL(data->RelativeID.get());
        attributes = data->Attributes;
        path = std::move(nodePath);
        return id != nullptr;
    }
};

} // namespace

// ---------------------------------------------------------------- menus

bool TSystemTreeView::DisplayContextMenu(QTreeWidgetItem *node, const QPoint &screenPoint)
{
    TDetachedItem item;
    if (!item.Take(DataOf(node), GetNodePath(node)))
        return false;
    PCItemIDList ids[] = {item.id.get()};
    TNodeGuard guard(this, node);
    bool renameChosen = false;
    const TNewFolderHandler newFolder = [this, &guard](const std::string &name) {
        return guard.get() && AddNewNode(guard.get(), name, true);
    };
    const bool shown = ::DisplayContextMenu(item.folder, ids, item.attributes, this, screenPoint, 1, !m_readOnly,
                                            renameChosen, newFolder);
    if (!guard.get())
        return shown;
    if (renameChosen)
        editItem(guard.get(), 0);
    else
        DropIfGone(guard.get(), item.path); // its Delete
    return shown;
}

void TSystemTreeView::contextMenuEvent(QContextMenuEvent *event)
{
    // The menu key has no mouse position: it stands for the selected node,
    // and the menu opens at its label, so the keyboard reaches the same
    // commands as the mouse.
    const bool keyboard = event->reason() == QContextMenuEvent::Keyboard;
    QTreeWidgetItem *node = keyboard ? Selected() : itemAt(event->pos());
    QPoint point = event->globalPos();
    if (keyboard && node)
        point = viewport()->mapToGlobal(visualItemRect(node).bottomLeft());
    if (m_popupMenuMethod == pmmContext || m_popupMenuMethod == pmmContextUser) {
        if (node) {
            TNodeGuard guard(this, node);
            SetSelected(node);
            // The change handlers may have rebuilt the tree, or refused the
            // node and selected another: a menu then would act on a folder
            // the owner does not show as chosen.
            if (guard.get() && Selected() == guard.get() && DisplayContextMenu(guard.get(), point)) {
                event->accept();
                return;
            }
        }
    }
    if ((m_popupMenuMethod == pmmUser || m_popupMenuMethod == pmmContextUser) && m_popupMenu)
        m_popupMenu->popup(point);
    // Whatever was or was not shown, no other widget offers its menu here.
    event->accept();
}

// ---------------------------------------------------------------- changing folders

void TSystemTreeView::SetReadOnly(bool on)
{
    m_readOnly = on;
    setEditTriggers(on ? NoEditTriggers : EditTriggers(EditKeyPressed | SelectedClicked));
}

bool TSystemTreeView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    // Code asking for an editor (editItem) is refused as well as the user.
    if (m_readOnly)
        return false;
    return TCustomSystemTreeView::edit(index, trigger, event);
}

void TSystemTreeView::LabelEdited(QTreeWidgetItem *node, const QString &text)
{
    const std::string name = QFile::encodeName(text).toStdString();
    TNodeGuard guard(this, node);
    if (RenameNode(node, name) && guard.get() && OnEdited)
        OnEdited(this, guard.get(), name);
}

bool TSystemTreeView::RenameNode(QTreeWidgetItem *node, const std::string &newName)
{
    TFolderItemData *data = DataOf(node);
    if (!data || !data->RelativeID || newName.empty())
        return false;
    TPidlHolder renamed;
    if (!data->ParentFolder->SetNameOf(GetValidHandle(), data->RelativeID.get(), newName, renamed))
        return false;
    TFolderItemData *parentData = DataOf(node->parent());
    data->AbsoluteID = parentData ? ConcatPIDLs(parentData->AbsoluteID.get(), renamed.get()) : CopyPIDL(renamed.get());
    data->RelativeID = std::move(renamed);
    node->setText(0, QFile::decodeName(QByteArray::fromStdString(newName)));
    // Below the node every ID (and every folder the children were listed
    // from) still names the old path: paths, watching and the commands of
    // a subfolder would otherwise reach a folder that is no longer there.
    RefreshChildIDs(node);
    // Whoever follows the selected path learns the new one.
    QTreeWidgetItem *selected = Selected();
    if (selected && (selected == node || IsAncestor(node, selected)))
        Change(selected);
    return true;
}

void TSystemTreeView::RefreshChildIDs(QTreeWidgetItem *node)
{
    TFolderItemData *data = DataOf(node);
    if (!data || node->childCount() == 0)
        return;
    std::string error;
    const TShellFolderPtr folder = NodeFolder(node, data, error);
    for (int i = 0; i < node->childCount(); ++i) {
        QTreeWidgetItem *child = node->child(i);
        TFolderItemData *childData = DataOf(child);
        if (!childData)
            continue;
        if (folder)
            childData->ParentFolder = folder;
        if (TPidlHolder absolute = ConcatPIDLs(data->AbsoluteID.get(), childData->RelativeID.get()))
            childData->AbsoluteID = std::move(absolute);
        RefreshChildIDs(child);
    }
}

bool TSystemTreeView::DeleteNode(QTreeWidgetItem *node)
{
    TDetachedItem item;
    if (!item.Take(DataOf(node), GetNodePath(node)))
        return false;
    PCItemIDList ids[] = {item.id.get()};
    TNodeGuard guard(this, node);
    if (!PerformVerb("delete", item.folder, ids, item.attributes, this, 1))
        return false;
    // The watchers would see the folder go too, but only once their delay
    // has passed and only for the selected folder: the tree shows it now.
    DropIfGone(guard.get(), item.path);
    return true;
}

bool TSystemTreeView::AddNewNode(QTreeWidgetItem *parentNode, const std::string &name, bool selectNew)
{
    const std::string parentPath = GetNodePath(parentNode);
    // One folder, in the parent itself: a name with a '/' would reach into
    // another folder (or make one the tree then never selects).
    if (parentPath.empty() || name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return false;
    const std::string path = IncludeTrailingSlash(parentPath) + name;

    // The watchers would report the new folder as a change and list the
    // parent a second time.
    QTreeWidgetItem *watched = m_watch.Node();
    StopWatchers();
    TNodeGuard watchedGuard(this, watched);
    TNodeGuard parentGuard(this, parentNode);

    const bool made = CreateFolder(path) == 0;
    if (made) {
        ResetNode(parentNode);
        if (selectNew && parentGuard.get()) {
            const QString text = QFile::decodeName(QByteArray::fromStdString(name));
            for (int i = 0; i < parentNode->childCount(); ++i) {
                if (parentNode->child(i)->text(0) == text) {
                    SetSelected(parentNode->child(i));
                    break;
                }
            }
            // The new selection watches for itself.
            return true;
        }
    }
    if (watchedGuard.get())
        WatchDirectoryForChanges(watchedGuard.get());
    return made;
}
