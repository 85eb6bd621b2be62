// TSystemTreeView: its items. Building the nodes from the namespace,
// selecting by path, sorting, the selection change and the events it
// raises. Watching, painting and the commands live in files of their own.
#include "controls/foldertree/SystemTreeView.h"

#include "controls/foldertree/detail/SystemTreeNode.h"
#include "controls/foldertree/ShellControlErrors.h"
#include "controls/foldertree/SystemImageList.h"
#include "controls/foldertree/MaskSearch.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QStyledItemDelegate>
#include <QTreeWidgetItemIterator>

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
