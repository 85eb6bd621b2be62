// The combo box sibling of the folder tree.
#pragma once

#include "controls/foldertree/SystemSibling.h"

#include <QComboBox>

class TCustomSystemListView;

// A combo box of the family: shows the path to the selected folder. A
// choice in the box is passed on to the linked controls.
class TCustomSystemComboBox : public TSystemSibling<QComboBox, TCustomSystemComboBox, TCustomSystemListView>
{
    Q_OBJECT
public:
    explicit TCustomSystemComboBox(QWidget *parent = nullptr);
    TCustomSystemListView *ListView() const { return OtherSibling(); }
    void SetListView(TCustomSystemListView *list) { SetOtherSibling(list); }
};
