#include "controls/foldertree/CustomSystemComboBox.h"

TCustomSystemComboBox::TCustomSystemComboBox(QWidget *parent) : TSystemSibling(parent)
{
    connect(this, QOverload<int>::of(&QComboBox::activated), this, [this](int) { NotifyLinkedControls(false); });
}
