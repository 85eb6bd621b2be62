#include "controls/foldertree/SystemTreeView.h"

#include "controls/foldertree/ShellControlErrors.h"
#include "controls/foldertree/SystemImageList.h"
#include "platform/EntryProbe.h"
#include "controls/foldertree/FileChange.h"
#include "platform/ItemDetails.h"
#include "controls/foldertree/ItemProp.h"
#include "controls/foldertree/MaskSearch.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTreeWidgetItemIterator>

#include <cstdlib>

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

// Label editing through the node's folder: the label changes only when the
// folder took the new name.
class TLabelEditing : public QStyledItemDelegate
{
public:
    explicit TLabelEditing(TSystemTreeView *tree) : QStyledItemDelegate(tree), m_tree(tree) {}

    void setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &index) const override
    {
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            m_tree->LabelEdited(m_tree->itemFromIndex(index), line->text());
    }

private:
    TSystemTreeView *m_tree;
};

namespace {

// The hourglass over the control while it lists or changes.
class TBusyCursor
{
public:
    explicit TBusyCursor(QWidget *w) : m_widget(w), m_had(w->testAttribute(Qt::WA_SetCursor)), m_old(w->cursor())
    {
        m_widget->setCursor(Qt::WaitCursor);
    }
    ~TBusyCursor()
    {
        if (m_had)
            m_widget->setCursor(m_old);
        else
            m_widget->unsetCursor();
    }

private:
    QWidget *m_widget;
    bool m_had;
    QCursor m_old;
};

TFolderItemData *DataOf(QTreeWidgetItem *node)
{
    if (!node || node->type() != TSystemTreeNode::NodeType)
        return nullptr;
    return static_cast<TSystemTreeNode *>(node)->Data;
}

bool IsAncestor(const QTreeWidgetItem *ancestor, const QTreeWidgetItem *node)
{
    for (const QTreeWidgetItem *p = node ? node->parent() : nullptr; p; p = p->parent())
        if (p == ancestor)
            return true;
    return false;
}

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

bool IsEmptyID(PCItemIDList id)
{
    return id && id[0] == 0 && id[1] == 0;
}

} // namespace

TSystemTreeView::TSystemTreeView(QWidget *parent) : TCustomSystemTreeView(parent)
{
    m_desktopFolder = GetDesktopFolder();
    if (!m_desktopFolder)
        throw ENoDesktopFolder();
    setRootIsDecorated(true);
    setSortingEnabled(false);
    setItemDelegate(new TLabelEditing(this));
    SetReadOnly(false);
}

TSystemTreeView::~TSystemTreeView()
{
    m_destroying = true;
    StopWatchers();
    clear();
}

// ---------------------------------------------------------------- tree basics

QTreeWidgetItem *TSystemTreeView::Selected() const
{
    return currentItem();
}

void TSystemTreeView::SetSelected(QTreeWidgetItem *node)
{
    if (node != currentItem())
        setCurrentItem(node);
}

QTreeWidgetItem *TSystemTreeView::FirstNode() const
{
    return topLevelItemCount() ? topLevelItem(0) : nullptr;
}

void TSystemTreeView::FullCollapse()
{
    // Every open node closes, the deepest first: a folder opened again later
    // then shows its subfolders closed, not as they were.
    std::vector<QTreeWidgetItem *> open;
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        if ((*it)->isExpanded())
            open.push_back(*it);
    for (auto node = open.rbegin(); node != open.rend(); ++node)
        CollapseNode(*node);
}

void TSystemTreeView::SetRowSelect(bool on)
{
    if (m_rowSelect == on)
        return;
    m_rowSelect = on;
    // A stretched column lets the highlight reach the right edge; names
    // wider than the tree are then cut instead of scrolled to.
    header()->setStretchLastSection(on);
    header()->setSectionResizeMode(0, on ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
}

void TSystemTreeView::keyPressEvent(QKeyEvent *event)
{
    // '*' would open every folder below the node, each one listed from the
    // disk: on a file-system tree that can be the whole disk. It opens the
    // node alone.
    if (event->key() == Qt::Key_Asterisk) {
        ExpandNode(currentItem());
        event->accept();
        return;
    }
    TCustomSystemTreeView::keyPressEvent(event);
}

void TSystemTreeView::RecreateWnd()
{
    if (m_checkboxes)
        SaveChecks();
    DestroyWnd();
    CreateWnd();
    if (m_checkboxes)
        RestoreChecks();
}

void TSystemTreeView::CreateWnd()
{
    m_hasWindow = true;
    Reset();
}

void TSystemTreeView::DestroyWnd()
{
    if (m_pendingSelection.empty())
        m_pendingSelection = GetSelection();
    m_hasWindow = false;
}

void TSystemTreeView::showEvent(QShowEvent *event)
{
    TCustomSystemTreeView::showEvent(event);
    if (!m_hasWindow)
        CreateWnd();
}

// ---------------------------------------------------------------- properties

void TSystemTreeView::SetRootFolder(TRootFolder root)
{
    if (m_rootFolder == root)
        return;
    m_rootFolder = root;
    Reset();
}

void TSystemTreeView::SetCustomDir(const std::string &dir)
{
    if (m_customDir == dir)
        return;
    m_customDir = dir;
    Reset();
}

void TSystemTreeView::SetCustomDirCaption(const std::string &caption)
{
    if (m_customDirCaption == caption)
        return;
    m_customDirCaption = caption;
    if (QTreeWidgetItem *root = FirstNode())
        root->setText(0, QFile::decodeName(QByteArray::fromStdString(caption)));
}

void TSystemTreeView::SetShowFiles(bool show)
{
    if (m_showFiles == show)
        return;
    m_showFiles = show;
    Reset();
}

void TSystemTreeView::SetFileMask(const std::string &mask)
{
    if (m_fileMask == mask)
        return;
    m_fileMask = mask;
    BuildMask(mask, m_maskList);
    Reset();
}

std::string TSystemTreeView::Version() const
{
    return "TSystemTreeView v0.98.5 Beta";
}

int TSystemTreeView::GetFolderID() const
{
    switch (m_rootFolder) {
    case rfDesktop: return csidlDesktop;
    case rfRecycleBin: return csidlBitBucket;
    case rfControlPanel: return csidlControls;
    case rfDesktopDir: return csidlDesktopDirectory;
    case rfDrives: return csidlDrives;
    case rfFavoriteURLs: return csidlFavorites;
    case rfFonts: return csidlFonts;
    case rfNetHood: return csidlNetwork;
    case rfNetHoodDir: return csidlNetHood;
    case rfDocumentDir: return csidlPersonal;
    case rfPrinters: return csidlPrinters;
    case rfPrograms: return csidlPrograms;
    case rfRecentDir: return csidlRecent;
    case rfSendTo: return csidlSendTo;
    case rfStartMenu: return csidlStartMenu;
    case rfStartup: return csidlStartup;
    case rfTemplates: return csidlTemplates;
    case rfFileSystem: return csidlDrives;
    case rfCustom: return -1;
    }
    return -1;
}

// ---------------------------------------------------------------- selection by path

std::string TSystemTreeView::GetSelection()
{
    if (!m_hasWindow)
        return {};
    return GetNodePath(Selected());
}

void TSystemTreeView::SetSelection(const std::string &path)
{
    SelectPath(path, false);
}

bool TSystemTreeView::SetSelectionExactly(const std::string &path)
{
    return SelectPath(path, true);
}

bool TSystemTreeView::SelectPath(const std::string &path, bool exactly)
{
    if (path.empty())
        return false;
    if (!m_hasWindow) {
        m_pendingSelection = path;
        return true;
    }
    QTreeWidgetItem *root = FirstNode();
    if (!root)
        return false;
    ExpandNode(root);
    if (root->childCount() == 0)
        return false;
    TFolderItemData *first = GetNodeData(root->child(0));
    if (!first)
        return false;

    // Trees rooted elsewhere also take a path that begins with the root's
    // name.
    std::string text = path;
    if (m_rootFolder != rfDesktop && m_rootFolder != rfDrives && m_rootFolder != rfFileSystem) {
        const QString prefix = QFile::decodeName(IncludeTrailingSlash(
            QFile::encodeName(root->text(0)).toStdString()).c_str());
        const QString given = QFile::decodeName(QByteArray::fromStdString(path));
        if (given.startsWith(prefix, Qt::CaseInsensitive))
            text = QFile::encodeName(given.mid(prefix.size())).toStdString();
    }

    TPidlHolder id;
    if (!GetIDFromPath(first->ParentFolder.get(), text, id))
        return false;
    TBulkUpdate update(this);
    bool whole = false;
    QTreeWidgetItem *node = FindNode(id.get(), whole);
    if (!whole && node) {
        // The path exists (it parsed), so the folder missing below `node`
        // may have been made after `node` was listed.
        TNodeGuard guard(this, node);
        if (ReadNewChildren(node) && guard.get())
            node = FindNode(id.get(), whole);
    }
    if (exactly && !whole)
        return false;
    SelectAndShow(node);
    return true;
}

std::string TSystemTreeView::GetNodePath(QTreeWidgetItem *node)
{
    TFolderItemData *data = DataOf(node);
    std::string path;
    if (!data || !GetPathFromIDList(data->AbsoluteID.get(), path))
        return {};
    return path;
}

bool TSystemTreeView::GetIDFromPath(TShellFolder *folder, const std::string &path, TPidlHolder &id)
{
    return GetPIDLFromPath(GetValidHandle(), folder, path, id);
}

QTreeWidgetItem *TSystemTreeView::FindNodeFromID(PCItemIDList id)
{
    bool whole = false;
    return FindNode(id, whole);
}

QTreeWidgetItem *TSystemTreeView::FindNode(PCItemIDList id, bool &whole)
{
    whole = false;
    QTreeWidgetItem *node = FirstNode();
    if (!node || !id)
        return nullptr;
    if (IsEmptyID(id)) {
        whole = true;
        return node;
    }
    int index = 0;
    PCItemIDList rest = id;
    while (index < node->childCount()) {
        QTreeWidgetItem *child = node->child(index);
        TFolderItemData *data = DataOf(child);
        const TPidlHolder item = CopyFirstID(rest);
        if (!data || !item || data->ParentFolder->CompareIDs(0, data->RelativeID.get(), item.get()) != 0) {
            ++index;
            continue;
        }
        node = child;
        rest = NextPIDL(rest);
        if (!rest || IsEmptyID(rest)) {
            whole = true;
            break;
        }
        TNodeGuard guard(this, child);
        ExpandNode(child); // its handlers may rebuild the tree
        if (!guard.get())
            return nullptr;
        index = 0;
        if (child->childCount() == 0)
            break;
    }
    return node;
}

TFolderItemData *TSystemTreeView::GetNodeData(QTreeWidgetItem *node)
{
    if (!node)
        return nullptr;
    TFolderItemData *data = DataOf(node);
    if (!data) {
        QMessageBox box(QMessageBox::Critical, QApplication::applicationName(),
                        QString::fromStdString(ShellControlsMessage(10010)), QMessageBox::Ok, this);
        box.exec();
    }
    return data;
}

TFolderItemData *TSystemTreeView::GetItemData(int index)
{
    int i = 0;
    for (QTreeWidgetItemIterator it(this); *it; ++it, ++i)
        if (i == index)
            return GetNodeData(*it);
    return nullptr;
}

void TSystemTreeView::SelectAndShow(QTreeWidgetItem *node)
{
    SetSelected(node);
    // The change handler may have rebuilt the tree: show what is selected.
    if (QTreeWidgetItem *selected = Selected())
        scrollToItem(selected);
}

void TSystemTreeView::ChangeToParent()
{
    QTreeWidgetItem *node = Selected();
    if (!node || !node->parent()) {
        QApplication::beep();
        return;
    }
    SelectAndShow(node->parent());
}

PCItemIDList TSystemTreeView::GetSelectionPIDL()
{
    TFolderItemData *data = DataOf(Selected());
    return data ? data->AbsoluteID.get() : nullptr;
}

TShellFolderPtr TSystemTreeView::GetSelectionParentFolder()
{
    return m_desktopFolder;
}

bool TSystemTreeView::LinkedReset(const TShellFolderPtr &, PCItemIDList id, bool)
{
    if (!id)
        return false;
    if (m_rootFolder == rfDrives || m_rootFolder == rfFileSystem)
        id = NextPIDL(id);
    SelectAndShow(FindNodeFromID(id));
    return false;
}

void TSystemTreeView::ComboBoxSetSelectionPIDL(PCItemIDList id)
{
    QTreeWidgetItem *root = FirstNode();
    if (!id || !root || !DataOf(Selected()))
        return;
    // The ID and its ancestors, outermost last.
    std::vector<TPidlHolder> chain;
    chain.emplace_back(CopyPIDL(id));
    while (chain.back() && !IsEmptyID(chain.back().get()))
        chain.emplace_back(CopyParentPIDL(chain.back().get()));
    TFolderItemData *rootData = DataOf(root);
    if (!rootData || !ComparePIDLs(rootData->AbsoluteID.get(), chain.back().get()))
        return;
    QTreeWidgetItem *node = root;
    for (auto element = chain.rbegin() + 1; element != chain.rend(); ++element) {
        ExpandNode(node);
        for (int i = 0; i < node->childCount(); ++i) {
            TFolderItemData *data = DataOf(node->child(i));
            if (data && ComparePIDLs(data->AbsoluteID.get(), element->get())) {
                node = node->child(i);
                break;
            }
        }
    }
    SetSelected(node);
    ExpandNode(Selected());
}

// ---------------------------------------------------------------- building

void TSystemTreeView::Reset()
{
    if (!m_hasWindow)
        return;
    struct TResetting {
        int &depth;
        explicit TResetting(int &d) : depth(d) { ++depth; }
        ~TResetting() { --depth; }
    } resetting(m_resetting);
    TPidlHolder remembered;
    bool wasExpanded = false;
    if (TFolderItemData *data = DataOf(Selected())) {
        remembered = CopyPIDL(data->AbsoluteID.get());
        wasExpanded = Selected()->isExpanded();
    }
    const bool savedChangeNow = ChangeNow();
    SetChangeNow(true);
    {
        TBulkUpdate update(this);
        SetSelected(nullptr);
        clear();

        TPidlHolder rootId;
        const bool found = m_rootFolder == rfCustom
                               ? GetIDFromPath(m_desktopFolder.get(), m_customDir, rootId)
                               : GetSpecialFolderLocation(GetValidHandle(), GetFolderID(), rootId);
        if (found && rootId) {
            TPidlHolder absolute = CopyPIDL(rootId.get());
            QTreeWidgetItem *root = AddNode(m_desktopFolder, std::move(absolute), std::move(rootId), nullptr);
            if (root && m_expandRoot)
                ExpandNode(root);

            if (!m_pendingSelection.empty()) {
                const std::string pending = m_pendingSelection;
                m_pendingSelection.clear();
                SetSelection(pending);
            } else if (remembered) {
                PCItemIDList id = remembered.get();
                if (m_rootFolder == rfDrives || m_rootFolder == rfFileSystem)
                    id = NextPIDL(id);
                if (QTreeWidgetItem *node = FindNodeFromID(id)) {
                    SelectAndShow(node);
                    if (wasExpanded)
                        ExpandNode(Selected());
                }
            }
        }
    }
    SetChangeNow(savedChangeNow);
    TCustomSystemTreeView::Reset();
}

QTreeWidgetItem *TSystemTreeView::AddNode(const TShellFolderPtr &folder, TPidlHolder absoluteId,
                                          TPidlHolder relativeId, QTreeWidgetItem *parentNode)
{
    folder->Validate();
    std::string text = GetDisplayName(folder.get(), relativeId.get(), dntNormal);
    if (!parentNode && m_rootFolder == rfCustom && !m_customDirCaption.empty())
        text = m_customDirCaption;
    const std::uint32_t attrs = folder->GetAttributesOf(relativeId.get(), TreeAttributeMask);

    if (m_rootFolder == rfFileSystem && !(attrs & (sfgaoFileSystem | sfgaoFileSysAncestor)))
        return nullptr;
    if (!m_fileMask.empty() && !(attrs & sfgaoFolder)) {
        std::string path;
        if (GetPathFromIDList(absoluteId.get(), path) && !FileMatches(path, &m_maskList))
            return nullptr;
    }

    auto *data = new TFolderItemData;
    data->ParentFolder = folder;
    data->RelativeID = std::move(relativeId);
    data->AbsoluteID = std::move(absoluteId);
    data->Attributes = attrs;
    auto *node = new TSystemTreeNode(this, data);
    node->setText(0, QFile::decodeName(QByteArray::fromStdString(text)));
    // Only a label whose folder can take another name is ever edited.
    Qt::ItemFlags flags = node->flags() & ~(Qt::ItemIsEditable | Qt::ItemIsUserCheckable);
    if (attrs & sfgaoCanRename)
        flags |= Qt::ItemIsEditable;
    if (m_checkboxes)
        flags |= Qt::ItemIsUserCheckable;
    node->setFlags(flags);
    if (m_checkboxes)
        node->setCheckState(0, Qt::Unchecked);
    if (parentNode)
        parentNode->addChild(node);
    else
        addTopLevelItem(node);

    int normal = -1;
    int open = -1;
    GetNormalAndSelectedIcons(data->AbsoluteID.get(), normal, open);
    if (open < 0)
        open = normal;
    if (!(attrs & sfgaoFolder))
        normal = open;
    int overlay = -1;
    if (attrs & sfgaoShare)
        overlay = 0;
    if (attrs & sfgaoLink)
        overlay = 1;
    node->setIcon(0, TSystemImageList::Instance().NodeIcon(normal, open, overlay));

    bool button = attrs & sfgaoHasSubfolder;
    if (m_showFiles && !button) {
        // A folder that holds files opens too when files are shown.
        if (TShellFolderPtr sub = folder->BindToObject(data->RelativeID.get())) {
            const unsigned flags = shcontfNonFolders | (m_showHiddenDirs ? shcontfIncludeHidden : 0u);
            if (auto items = sub->EnumObjects(GetValidHandle(), flags)) {
                TPidlHolder one;
                button = items->Next(one);
            }
        }
    }
    node->setChildIndicatorPolicy(button ? QTreeWidgetItem::ShowIndicator
                                         : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    return node;
}

bool TSystemTreeView::EnumerateFolders(const TShellFolderPtr &folder, QTreeWidgetItem *parentNode, bool onlyNew)
{
    TBulkUpdate update(this);
    TBusyCursor busy(this);
    unsigned flags = shcontfFolders;
    if (m_showHiddenDirs)
        flags |= shcontfIncludeHidden;
    if (m_showFiles)
        flags |= shcontfNonFolders;
    std::unique_ptr<TEnumIDList> items = folder->EnumObjects(GetValidHandle(), flags);
    if (!items)
        return false;
    TFolderItemData *parentData = DataOf(parentNode);
    bool any = false;
    TPidlHolder relative;
    // Whether a child of the parent node stands for the item already.
    const auto listed = [&](PCItemIDList item) {
        for (int i = 0; parentNode && i < parentNode->childCount(); ++i) {
            TFolderItemData *data = DataOf(parentNode->child(i));
            if (data && folder->CompareIDs(0, data->RelativeID.get(), item) == 0)
                return true;
        }
        return false;
    };
    while (items->Next(relative)) {
        any = true;
        if (onlyNew && listed(relative.get()))
            continue;
        TPidlHolder absolute = ConcatPIDLs(parentData ? parentData->AbsoluteID.get() : nullptr, relative.get());
        if (absolute)
            AddNode(folder, std::move(absolute), std::move(relative), parentNode);
    }
    return any;
}

bool TSystemTreeView::CanExpand(QTreeWidgetItem *node)
{
    if (!TCustomSystemTreeView::CanExpand(node))
        return false;
    bool answer = true;
    TFolderItemData *data = GetNodeData(node);
    if (data && !data->Enumerated) {
        std::string error;
        TShellFolderPtr folder = NodeFolder(node, data, error);
        if (!folder) {
            ReportError(ENoBindFolder(error.empty() ? ShellControlsMessage(10015) : error));
            return false;
        }
        data->Enumerated = true;
        const bool found = EnumerateFolders(folder, node);
        // The Desktop opens even when it holds nothing.
        answer = found || folder == m_desktopFolder;
    }
    if (answer)
        Populated(node);
    else
        node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    return answer;
}

TShellFolderPtr TSystemTreeView::NodeFolder(QTreeWidgetItem *node, TFolderItemData *data, std::string &error)
{
    if (!node->parent() && m_rootFolder == rfDesktop && node == FirstNode())
        return m_desktopFolder;
    return data->ParentFolder->BindToObject(data->RelativeID.get(), &error);
}

bool TSystemTreeView::ReadNewChildren(QTreeWidgetItem *node)
{
    TFolderItemData *data = DataOf(node);
    // A node not listed yet is listed afresh when it first opens.
    if (!data || !data->Enumerated)
        return false;
    std::string error;
    const TShellFolderPtr folder = NodeFolder(node, data, error);
    if (!folder)
        return false;
    TBulkUpdate update(this);
    const int before = node->childCount();
    EnumerateFolders(folder, node, true);
    if (node->childCount() == before)
        return false;
    SortChildren(node, nullptr, 0);
    return true;
}

void TSystemTreeView::Expand(QTreeWidgetItem *node)
{
    {
        TBulkUpdate update(this);
        const TNodeCompare *saved = m_sortCompare;
        m_sortCompare = nullptr;
        node->sortChildren(0, Qt::AscendingOrder);
        m_sortCompare = saved;
    }
    TCustomSystemTreeView::Expand(node);
}

void TSystemTreeView::ResetNode(QTreeWidgetItem *node)
{
    if (!node)
        return;
    const bool wasExpanded = node->isExpanded();
    // Event handlers run below (a selection change, the opening events);
    // should one rebuild the tree, the node is gone and nothing more is done.
    TNodeGuard guard(this, node);
    // A selection inside the children would otherwise wander to whatever
    // row Qt picks when they go; the node itself is the nearest that stays.
    if (IsAncestor(node, Selected())) {
        SetSelected(node);
        if (!guard.get())
            return;
    }
    {
        TBulkUpdate update(this);
        ++m_undoing;
        node->setExpanded(false);
        --m_undoing;
        qDeleteAll(node->takeChildren());
        node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
        if (TFolderItemData *data = GetNodeData(node)) {
            data->Enumerated = false;
            const bool children = CanExpand(node);
            if (wasExpanded && children && guard.get())
                ExpandNode(node);
        }
    }
    NotifyLinkedControls(true);
}

bool TSystemTreeView::AlphaSort()
{
    if (!m_hasWindow)
        return false;
    TBulkUpdate update(this);
    return CustomSort(nullptr, 0);
}

bool TSystemTreeView::CustomSort(const TNodeCompare &compare, std::intptr_t data)
{
    if (!m_hasWindow)
        return false;
    SortChildren(invisibleRootItem(), compare, data);
    std::vector<QTreeWidgetItem *> parents;
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        if ((*it)->childCount())
            parents.push_back(*it);
    for (QTreeWidgetItem *parent : parents)
        SortChildren(parent, nullptr, data);
    return true;
}

void TSystemTreeView::SortChildren(QTreeWidgetItem *node, const TNodeCompare &compare, std::intptr_t data)
{
    const TNodeCompare *saved = m_sortCompare;
    const std::intptr_t savedData = m_sortData;
    m_sortCompare = compare ? &compare : nullptr;
    m_sortData = data;
    node->sortChildren(0, Qt::AscendingOrder);
    m_sortCompare = saved;
    m_sortData = savedData;
}

int TSystemTreeView::DefaultCompare(QTreeWidgetItem *a, QTreeWidgetItem *b)
{
    if (a == b)
        return 0;
    if (!a)
        return -1;
    if (!b)
        return 1;
    TFolderItemData *da = DataOf(a);
    TFolderItemData *db = DataOf(b);
    if (!da || !db)
        return 0;
    const int order = da->ParentFolder->CompareIDs(0, da->RelativeID.get(), db->RelativeID.get());
    return static_cast<std::int8_t>(order & 0xFF);
}

void TSystemTreeView::Populated(QTreeWidgetItem *node)
{
    if (OnPopulated)
        OnPopulated(this, node);
}

void TSystemTreeView::DeleteItem(QTreeWidgetItem *node)
{
    delete node;
}

void TSystemTreeView::NodeDeleting(QTreeWidgetItem *node)
{
    if (m_destroying)
        return;
    for (QTreeWidgetItem **guarded : m_guards)
        if (*guarded == node)
            *guarded = nullptr;
    if (OnDeletion)
        OnDeletion(this, node);
    if (node == m_autoExpandFrom)
        m_autoExpandFrom = nullptr;
    // A watcher of a node that is gone must never report.
    m_watch.StopFor(node);
    m_parentWatch.StopFor(node);
}

void TSystemTreeView::ReportError(const std::exception &error)
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), QString::fromStdString(error.what()),
                    QMessageBox::Ok, this);
    box.exec();
}

// ---------------------------------------------------------------- selection change

void TSystemTreeView::Change(QTreeWidgetItem *node)
{
    if (m_destroying)
        return;
    TBusyCursor busy(this);
    TCustomSystemTreeView::Change(node);
    // The change handler may have rebuilt the tree or selected elsewhere:
    // from here on only the node selected now is trusted.
    QTreeWidgetItem *current = Selected();
    // Watching follows the notification: at once when it went out at once,
    // otherwise from TimerEvent.
    if (TimerID() == 0 && DataOf(current))
        WatchDirectoryForChanges(current);

    if (m_autoExpand && current && current == node) {
        QTreeWidgetItem *previous = m_autoExpandFrom;
        if (previous && previous != current && !IsAncestor(previous, current))
            CollapseNode(previous);
        ExpandNode(current);
    }
    m_autoExpandFrom = current;
}

void TSystemTreeView::TimerEvent()
{
    TCustomSystemTreeView::TimerEvent();
    WatchDirectoryForChanges(Selected());
}

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

// ---------------------------------------------------------------- check boxes

void TSystemTreeView::SetCheckboxes(bool on)
{
    if (m_checkboxes == on)
        return;
    m_checkboxes = on;
    if (m_hasWindow)
        RecreateWnd();
}

bool TSystemTreeView::GetItemCheck(QTreeWidgetItem *node) const
{
    return node && m_checkboxes && node->checkState(0) == Qt::Checked;
}

void TSystemTreeView::SetItemCheck(QTreeWidgetItem *node, bool checked)
{
    if (node && m_checkboxes)
        node->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

// ---------------------------------------------------------------- auto-scroll

void TSystemTreeView::SetAutoscroll(bool on)
{
    m_autoscroll = on;
    // Every move over the tree counts, not only those with a button held.
    if (on)
        viewport()->setMouseTracking(true);
}

void TSystemTreeView::Compute_TreeMoves(int x, int y)
{
    const auto allowance = [](const QScrollBar *bar) { return bar->minimum() != bar->maximum() ? 16 : 0; };
    const int h = std::abs(fontMetrics().height());
    const int width = viewport()->width();
    const int height = viewport()->height();
    if (y < h)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (y > height - allowance(verticalScrollBar()) - h)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (x < h)
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (x > width - allowance(horizontalScrollBar()) - h)
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
}

void TSystemTreeView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_autoscroll) {
        const QPoint at = event->position().toPoint();
        Compute_TreeMoves(at.x(), at.y());
    }
    TCustomSystemTreeView::mouseMoveEvent(event);
}

// ---------------------------------------------------------------- events

void TSystemTreeView::DoChangeEvent(QTreeWidgetItem *node)
{
    if (OnChange)
        OnChange(this, node);
}

void TSystemTreeView::DoExpandingEvent(QTreeWidgetItem *node, bool &allow)
{
    if (OnExpanding)
        OnExpanding(this, node, allow);
}

void TSystemTreeView::DoExpandedEvent(QTreeWidgetItem *node)
{
    if (OnExpanded)
        OnExpanded(this, node);
}

void TSystemTreeView::DoCollapsingEvent(QTreeWidgetItem *node, bool &allow)
{
    if (OnCollapsing)
        OnCollapsing(this, node, allow);
}

void TSystemTreeView::DoCollapsedEvent(QTreeWidgetItem *node)
{
    if (OnCollapsed)
        OnCollapsed(this, node);
}

void TSystemTreeView::DoClickEvent()
{
    if (OnClick)
        OnClick(this);
}

void TSystemTreeView::DoEnterEvent()
{
    if (OnEnter)
        OnEnter(this);
}
