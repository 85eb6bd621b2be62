// The list sibling of the folder tree.
#pragma once

#include "controls/foldertree/SystemSibling.h"

#include <QListWidget>

class TCustomSystemComboBox;

// A list of the family: shows the items of the folder its tree selects.
class TCustomSystemListView : public TSystemSibling<QListWidget, TCustomSystemListView, TCustomSystemComboBox>
{
    Q_OBJECT
public:
    explicit TCustomSystemListView(QWidget *parent = nullptr) : TSystemSibling(parent) {}
    TCustomSystemComboBox *ComboBox() const { return OtherSibling(); }
    void SetComboBox(TCustomSystemComboBox *combo) { SetOtherSibling(combo); }
};
