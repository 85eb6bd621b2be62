// The file list under each folder tree: a TFileListBox whose rows carry the
// file's small icon, chosen from the file name by the MIME database and the
// icon theme (the file itself is never opened), with rows 17 pixels high
// whatever the font and the stored item height.
#pragma once

#include "controls/filelist/ControlVersion.h"
#include "controls/filelist/FileListBox.h"

class TFileListBoxEx : public TFileListBox, public TControlVersion
{
    Q_OBJECT

public:
    explicit TFileListBoxEx(QWidget *parent = nullptr);
    ~TFileListBoxEx() override;

protected:
    void DrawItem(QPainter &canvas, int index, const QRect &rect) override;
    // Always 17: the 16-pixel icon and one pixel.
    int MeasureItem() override;
};
