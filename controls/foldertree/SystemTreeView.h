// TSystemTreeView: a tree of the folder namespace (ShellNamespace.h). One root
// node (the Desktop unless RootFolder says otherwise) whose descendants are
// listed the first time each node opens. The owner reads and sets the
// selected folder by its path (Selection); the selected folder and its parent
// are watched, so folders made, renamed or deleted elsewhere show up on their
// own; a mount or unmount rebuilds every tree.
//
// Events are public std::function members, empty when nobody handles them;
// each gets the tree as `sender`:
//   OnChange(sender, node)            the selected node changed (node may be nullptr)
//   OnClick(sender)                   a left click on the tree
//   OnEnter(sender)                   the tree got the keyboard focus
//   OnExpanding(sender, node, allow)  a node is about to open; allow = false keeps it closed
//   OnExpanded(sender, node)          a node opened
//   OnCollapsing(sender, node, allow) a node is about to close; allow = false keeps it open
//   OnCollapsed(sender, node)         a node closed
//   OnPopulated(sender, node)         a node opens with children, or its children were read afresh
//   OnDeletion(sender, node)          a node is about to be deleted
//   OnEdited(sender, node, name)      the user renamed a node's folder by editing its label
//
// A right click on a node shows the commands of its folder (ItemProp.h);
// its Rename starts editing the label, which renames the folder on disk.
// Which menu a right click shows is PopupMenuMethod's choice.
//
// The tree has its "window" from the first time it is shown (CreateWnd);
// until then no node is built and a selection waits for it.
//
// The class is split by role over files of its own: SystemTreeView.cpp (the
// nodes: building, selecting by path, sorting, the events),
// SystemTreeViewWatch.cpp (watching the open folders), SystemTreeViewPaint.cpp
// (row highlight, check boxes, auto-scroll), SystemTreeViewCommands.cpp (the
// menu, rename, delete, new folder); detail/SystemTreeNode.h holds the node
// type and the guards they share.
#pragma once

#include "controls/foldertree/FileChange.h"
#include "controls/foldertree/detail/WatchPair.h"
#include "controls/foldertree/CustomSystemTreeView.h"
#include "controls/foldertree/FolderItemData.h"

#include <QMenu>
#include <QPoint>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <string>

enum TRootFolder {
    rfDesktop,
    rfRecycleBin,
    rfControlPanel,
    rfDesktopDir,
    rfDrives,
    rfFavoriteURLs,
    rfFonts,
    rfNetHood,
    rfNetHoodDir,
    rfDocumentDir,
    rfPrinters,
    rfPrograms,
    rfRecentDir,
    rfSendTo,
    rfStartMenu,
    rfStartup,
    rfTemplates,
    rfFileSystem,
    rfCustom,
};

enum TPopupMenuMethod {
    pmmNone,
    pmmContext,
    pmmUser,
    pmmContextUser,
};

class TSystemTreeView : public TCustomSystemTreeView
{
    Q_OBJECT
public:
    // Orders two nodes: negative when `a` goes first.
    using TNodeCompare = std::function<int(QTreeWidgetItem *a, QTreeWidgetItem *b, std::intptr_t data)>;

    explicit TSystemTreeView(QWidget *parent = nullptr);
    ~TSystemTreeView() override;

    // ------------------------------------------------------------ events
    std::function<void(TSystemTreeView *sender, QTreeWidgetItem *node)> OnChange;
    std::function<void(TSystemTreeView *sender)> OnClick;
    std::function<void(TSystemTreeView *sender)> OnEnter;
    std::function<void(TSystemTreeView *sender, QTreeWidgetItem *node, bool &allowExpansion)> OnExpanding;
    std::function<void(TSystemTreeView *sender, QTreeWidgetItem *node)> OnExpanded;
    std::function<void(TSystemTreeView *sender, QTreeWidgetItem *node, bool &allowCollapse)> OnCollapsing;
    std::function<void(TSystemTreeView *sender, QTreeWidgetItem *node)> OnCollapsed;
    std::function<void(TSystemTreeView *sender, QTreeWidgetItem *node)> OnPopulated;
    std::function<void(TSystemTreeView *sender, QTreeWidgetItem *node)> OnDeletion;
    std::function<void(TSystemTreeView *sender, QTreeWidgetItem *node, const std::string &name)> OnEdited;

    // ------------------------------------------------------------ tree basics
    // Selecting a node opens it, and closes the branch of the node selected
    // before (unless it leads to the new one). Default false.
    bool AutoExpand() const { return m_autoExpand; }
    void SetAutoExpand(bool on) { m_autoExpand = on; }
    // The selected node, nullptr when none.
    QTreeWidgetItem *Selected() const;
    void SetSelected(QTreeWidgetItem *node);
    // The first node of the tree (the root), nullptr when the tree is empty.
    QTreeWidgetItem *FirstNode() const;
    bool IsFirstNode(const QTreeWidgetItem *node) const { return node && node == FirstNode(); }
    // Closes every node (each close may be refused through OnCollapsing).
    void FullCollapse();
    // The selection highlights the whole row, not only the name. Default false.
    bool RowSelect() const { return m_rowSelect; }
    void SetRowSelect(bool on);
    // Whether the tree has its window (see above).
    bool HasWindow() const { return m_hasWindow; }
    // Tears the window down and builds it again; the selection is kept.
    void RecreateWnd();

    // ------------------------------------------------------------ properties
    TRootFolder RootFolder() const { return m_rootFolder; }
    void SetRootFolder(TRootFolder root);
    std::string CustomDir() const { return m_customDir; }
    void SetCustomDir(const std::string &dir);
    std::string CustomDirCaption() const { return m_customDirCaption; }
    void SetCustomDirCaption(const std::string &caption);
    bool ShowFiles() const { return m_showFiles; }
    void SetShowFiles(bool show);
    // Takes effect at the next Reset or first opening of a node. Default true.
    bool ShowHiddenDirs() const { return m_showHiddenDirs; }
    void SetShowHiddenDirs(bool show) { m_showHiddenDirs = show; }
    bool ExpandRoot() const { return m_expandRoot; }
    void SetExpandRoot(bool expand) { m_expandRoot = expand; }
    // Semicolon-separated patterns that files (never folders) must match.
    std::string FileMask() const { return m_fileMask; }
    void SetFileMask(const std::string &mask);
    // Which menu a right click (or the menu key) shows: none; the commands
    // of the node's folder; only PopupMenu; or the node's commands, and
    // PopupMenu where there is no node or it has none. Default pmmContext.
    TPopupMenuMethod PopupMenuMethod() const { return m_popupMenuMethod; }
    void SetPopupMenuMethod(TPopupMenuMethod method) { m_popupMenuMethod = method; }
    // The control's own menu (not owned), for pmmUser and pmmContextUser.
    QMenu *PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(QMenu *menu) { m_popupMenu = menu; }
    // No label can be edited, and the menus offer no Rename. Default false:
    // F2 or a click on the selected node edits a label the folder allows
    // to be renamed.
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool on);
    // A check box on every node. Switching rebuilds the tree (the
    // selection stays); no check mark survives that.
    bool Checkboxes() const { return m_checkboxes; }
    void SetCheckboxes(bool on);
    // Every mouse move near an edge scrolls one line that way (Compute_TreeMoves).
    bool Autoscroll() const { return m_autoscroll; }
    void SetAutoscroll(bool on);
    // Always "TSystemTreeView v0.98.5 Beta"; writing is ignored.
    std::string Version() const;
    void SetVersion(const std::string &) {}

    // The path of the selected folder; empty without a window, without a
    // selection, or for an item without a path ("Computer").
    std::string GetSelection();
    // Selects the node of a path (a file's folder when files are not shown);
    // a path that does not exist leaves the selection, an empty one does
    // nothing. Without a window the path waits for the window. A folder the
    // tree has no node for yet is looked for once more in its parent, read
    // afresh: it may have been made since the parent was listed. What still
    // has no node (a hidden folder while those are not shown) selects its
    // deepest ancestor that has one.
    void SetSelection(const std::string &path);
    // The same, but only the node of the whole path is ever selected: false,
    // with the selection left as it was, when the tree has no node for it.
    // Without a window the path waits, and the answer is true.
    bool SetSelectionExactly(const std::string &path);
    std::string Selection() { return GetSelection(); }
    std::string Directory() { return GetSelection(); }
    void SetDirectory(const std::string &path) { SetSelection(path); }

    // ------------------------------------------------------------ operations
    // Rebuilds the tree from its root, keeping the selected folder (and its
    // open state) or applying a waiting selection.
    void Reset() override;
    // True while Reset runs: the selection changes it makes only put back
    // what was selected (or what waited), they are nobody's choice.
    bool Resetting() const { return m_resetting > 0; }
    std::string GetNodePath(QTreeWidgetItem *node);
    QTreeWidgetItem *FindNodeFromID(PCItemIDList id);
    bool GetIDFromPath(TShellFolder *folder, const std::string &path, TPidlHolder &id);
    TFolderItemData *GetNodeData(QTreeWidgetItem *node);
    TFolderItemData *GetItemData(int index);
    // Lists a node's children afresh (and reopens it when it was open).
    void ResetNode(QTreeWidgetItem *node);
    // Selects the parent of the selected node, or beeps when there is none.
    void ChangeToParent();

    // ------------------------------------------------------------ changing folders
    // Gives the node's folder the name `newName` in its parent folder; never
    // replaces what already has that name. On success the label and the
    // IDs of the node and of everything below it follow, and a selection
    // at or below it is announced again (OnChange) with its new path. False,
    // with nothing changed or shown, for no node, an empty name or a rename
    // the folder refuses.
    bool RenameNode(QTreeWidgetItem *node, const std::string &newName);
    // Moves the node's folder to the trash (asking before a permanent
    // delete where it cannot go there); never "/" nor a mount point. The
    // tree then drops the folder, selecting its parent when the selection
    // was there. False when nothing was deleted.
    bool DeleteNode(QTreeWidgetItem *node);
    // Makes the folder `name` in the node's folder and lists the node
    // afresh; with `selectNew`, selects the new node when the folder shows
    // it under exactly that name. False when the folder was not made.
    bool AddNewNode(QTreeWidgetItem *parentNode, const std::string &name, bool selectNew);
    // A node's check mark; nothing (false) for no node or without Checkboxes.
    bool GetItemCheck(QTreeWidgetItem *node) const;
    void SetItemCheck(QTreeWidgetItem *node, bool checked);
    PCItemIDList GetSelectionPIDL() override;
    TShellFolderPtr GetSelectionParentFolder() override;
    bool LinkedReset(const TShellFolderPtr &folder, PCItemIDList id, bool force) override;
    void ComboBoxSetSelectionPIDL(PCItemIDList id);
    bool AlphaSort();
    virtual bool CustomSort(const TNodeCompare &compare, std::intptr_t data);
    // The default order of two nodes (their folder's order of names).
    int DefaultCompare(QTreeWidgetItem *a, QTreeWidgetItem *b);

    // ------------------------------------------------------------ watching
    // Watches the node's folder and its parent's, stopping what ran before.
    void WatchDirectoryForChanges(QTreeWidgetItem *node);
    QTreeWidgetItem *WatchedNode() const { return m_watch.Node(); }
    QTreeWidgetItem *ParentWatchedNode() const { return m_parentWatch.Node(); }
    TFileChangeThread *WatchThread() const { return m_watch.Thread(); }
    TFileChangeThread *ParentWatchThread() const { return m_parentWatch.Thread(); }
    void TimerEvent() override;

protected:
    // Overridable steps, in this order.
    virtual void Compute_TreeMoves(int x, int y);
    virtual void Populated(QTreeWidgetItem *node);
    virtual void DeleteItem(QTreeWidgetItem *node);
    // Adds a node for an item, whose data keeps both IDs; nullptr when the
    // item is filtered.
    virtual QTreeWidgetItem *AddNode(const TShellFolderPtr &folder, TPidlHolder absoluteId, TPidlHolder relativeId,
                                     QTreeWidgetItem *parentNode);
    // Shows the commands of the node's folder at a screen point and carries
    // out the one picked; Rename starts editing the label. False when the
    // node has no folder item; true once the menu was shown.
    virtual bool DisplayContextMenu(QTreeWidgetItem *node, const QPoint &screenPoint);
    // Called around a rebuild of the window while Checkboxes is on; the
    // tree keeps no check marks, so both do nothing.
    virtual void SaveChecks() {}
    virtual void RestoreChecks() {}

    // Adds a node for every item of `folder` below `parentNode`; with
    // `onlyNew`, only for items that have no node there yet. True when the
    // folder yielded an item (filtered out or not).
    bool EnumerateFolders(const TShellFolderPtr &folder, QTreeWidgetItem *parentNode, bool onlyNew = false);
    void CreateWnd();
    void DestroyWnd();
    void ThreadDone(TFileChangeThread *sender);
    void ParentThreadDone(TFileChangeThread *sender);

    void Change(QTreeWidgetItem *node) override;
    bool CanExpand(QTreeWidgetItem *node) override;
    void Expand(QTreeWidgetItem *node) override;

    void DoChangeEvent(QTreeWidgetItem *node) override;
    void DoExpandingEvent(QTreeWidgetItem *node, bool &allow) override;
    void DoExpandedEvent(QTreeWidgetItem *node) override;
    void DoCollapsingEvent(QTreeWidgetItem *node, bool &allow) override;
    void DoCollapsedEvent(QTreeWidgetItem *node) override;
    void DoClickEvent() override;
    void DoEnterEvent() override;

    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;

private:
    friend class TSystemTreeNode;
    friend class TLabelEditing;
    // The end of a label edit that was not cancelled.
    void LabelEdited(QTreeWidgetItem *node, const QString &text);
    // Lists the parent of a node whose folder went afresh (selecting it
    // with `select`; a selection at the node moves there anyway).
    void RereadParent(QTreeWidgetItem *node, bool select);
    // After an action that may have removed the node's folder `path`.
    void DropIfGone(QTreeWidgetItem *node, const std::string &path);
    // New IDs (and folders) for everything below a node whose ID changed.
    void RefreshChildIDs(QTreeWidgetItem *node);
    int GetFolderID() const;
    void NodeDeleting(QTreeWidgetItem *node);
    void StopWatchers();
    void SortChildren(QTreeWidgetItem *node, const TNodeCompare &compare, std::intptr_t data);
    void SelectAndShow(QTreeWidgetItem *node);
    bool SelectPath(const std::string &path, bool exactly);
    // FindNodeFromID, telling whether the node reached stands for the whole ID.
    QTreeWidgetItem *FindNode(PCItemIDList id, bool &whole);
    // The folder a node lists its children from; nullptr (with the reason)
    // when it cannot be bound.
    TShellFolderPtr NodeFolder(QTreeWidgetItem *node, TFolderItemData *data, std::string &error);
    // Adds nodes for the items a listed node gained since it was listed;
    // true when it gained any.
    bool ReadNewChildren(QTreeWidgetItem *node);
    void ReportError(const std::exception &error);

    bool m_autoExpand = false;
    bool m_rowSelect = false;
    bool m_hasWindow = false;
    bool m_destroying = false;
    int m_resetting = 0; // nesting of Reset
    TRootFolder m_rootFolder = rfDesktop;
    std::string m_customDir;
    std::string m_customDirCaption;
    bool m_showFiles = false;
    bool m_showHiddenDirs = true;
    bool m_expandRoot = true;
    std::string m_fileMask;
    std::vector<std::string> m_maskList;
    TPopupMenuMethod m_popupMenuMethod = pmmContext;
    QPointer<QMenu> m_popupMenu;
    bool m_readOnly = false;
    bool m_checkboxes = false;
    bool m_autoscroll = false;

    friend class TBulkUpdate;
    int m_updateCount = 0; // nesting of bulk updates; painting resumes at 0
    // Nodes held across a call that may run event handlers, which may
    // delete them; a deleted node's slot is set to nullptr (TNodeGuard).
    friend class TNodeGuard;
    std::vector<QTreeWidgetItem **> m_guards;

    TShellFolderPtr m_desktopFolder;
    std::string m_pendingSelection;
    QTreeWidgetItem *m_autoExpandFrom = nullptr;

    // The active order while children are sorted (TSystemTreeNode::operator<).
    const TNodeCompare *m_sortCompare = nullptr;
    std::intptr_t m_sortData = 0;

    // The selected node's folder and its parent's, each with its watcher; a
    // watcher is forgotten (and its report dropped) as soon as its node goes.
    TWatchPair m_watch;
    TWatchPair m_parentWatch;
};
