// The base of the folder tree's list and combo box siblings.
#pragma once

#include "controls/foldertree/PidlHelp.h"
#include "controls/foldertree/ShellNamespace.h"

class QObject;
class QWidget;
class TCustomSystemTreeView;

// What a list and a combo box of the family share: a link to a tree and to
// the other sibling (`Other`), and the linking contract toward both. Only
// the contract lives here; no window of the program places a sibling.
template <typename QtBase, typename Self, typename Other>
class TSystemSibling : public QtBase
{
public:
    explicit TSystemSibling(QWidget *parent);
    ~TSystemSibling() override;

    TCustomSystemTreeView *TreeView() const { return m_treeView; }
    void SetTreeView(TCustomSystemTreeView *tree);

    virtual void DeviceChanged();
    virtual PCItemIDList GetSelectionPIDL() = 0;
    virtual TShellFolderPtr GetSelectionParentFolder() = 0;
    virtual void SetupImageList();
    virtual QWidget *GetValidHandle();
    virtual bool LinkedReset(const TShellFolderPtr &folder, PCItemIDList id, bool force) = 0;
    virtual void Reset();
    virtual void NotifyLinkedControls(bool force);
    virtual void LinkedControlChanged(QObject *sender, bool force);

protected:
    Other *OtherSibling() const { return m_other; }
    void SetOtherSibling(Other *other);

private:
    Self *self() { return static_cast<Self *>(this); }
    TCustomSystemTreeView *m_treeView = nullptr;
    Other *m_other = nullptr;
};
