// The directory list drawn as an outline: each row has the theme's open
// folder icon (the drive root and the folders down to the current one) or
// its closed folder icon (the subfolders), indented by its depth.
//
// With DirectOpen a single click opens a folder, as a double click does
// otherwise. The check variant keeps clicks in its check column from opening.
#pragma once

#include "controls/filelist/ControlVersion.h"
#include "controls/filelist/DirectoryListBox.h"

#include <string>

class QPainter;

enum TBorderStyle { bsNone, bsSingle };

class TDirectoryListBoxEx : public TDirectoryListBox, public TControlVersion
{
    Q_OBJECT

public:
    explicit TDirectoryListBoxEx(QWidget *parent = nullptr);
    ~TDirectoryListBoxEx() override;

    // A single frame around the list, or none. Default bsSingle.
    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TBorderStyle style);

    // Default false. When on, releasing the left button over a row right of
    // the check column opens the selected folder; the second click of a
    // double click then opens nothing more.
    bool DirectOpen() const { return m_directOpen; }
    void SetDirectOpen(bool on) { m_directOpen = on; }

    // Width of the check column at the left of each row: 0 here, 16 in the
    // check variant.
    int CheckWidth() const { return m_checkWidth; }

    // Where row `index` draws its icon, from the row's left edge: 4 per
    // level and 2. The subfolders are one level below the current folder.
    int RowIndent(int index) const;

protected:
    // Paints one row: background, the icon at the indent, the name 4 pixels
    // after the 16-pixel icon.
    virtual void DrawItem(QPainter &canvas, int index, const QRect &rect);

    // The rows' texts begin with the blanks of their indent, so a search
    // for blanks (Space) would always land on the second row.
    void keyboardSearch(const QString &search) override;

    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

    int m_checkWidth = 0;

private:
    TBorderStyle m_borderStyle = bsSingle;
    bool m_directOpen = false;
    // A double click is under way: its release opens nothing.
    bool m_inDoubleClick = false;
};
