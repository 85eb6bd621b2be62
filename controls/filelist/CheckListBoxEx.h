// The extended file list and directory list with a check box in front of
// every row. A click in the check column (x below 16) or Space on the
// selected row inverts the row's check and fires OnClickCheck.
//
// The checks follow the rows: a row inserted gets an unchecked entry at its
// place, a row removed takes its entry with it, and rebuilding the rows (a
// re-read of the file list, a new folder of the directory list) leaves every
// row unchecked.
#pragma once

#include "controls/filelist/BoolList.h"
#include "controls/filelist/DirectoryListBoxEx.h"
#include "controls/filelist/FlCtrlEx.h"

#include <functional>

class QPainter;

// What both check lists add to their list; TBase is TFileListBoxEx or
// TDirectoryListBoxEx.
template <class TBase>
class TCheckListBox : public TBase
{
public:
    explicit TCheckListBox(QWidget *parent);
    ~TCheckListBox() override;

    // The check of row `index`, after SyncLists. A row outside the list
    // throws EListError.
    bool GetChecked(int index);
    // Sets it (after SyncLists) and redraws that row only.
    void SetChecked(int index, bool checked);
    // Pads the checks with unchecked entries, or drops the last ones, until
    // there is one per row.
    void SyncLists();

    // Flat check boxes (the style's item-view check indicator) or raised
    // ones (its check box). The constructor sets it true.
    bool Flat() const { return m_flat; }
    void SetFlat(bool flat);

    // The user inverted the check of row `index` (a click or Space).
    std::function<void(QObject *sender, int index)> OnClickCheck;

protected:
    // The check column (18 pixels, never highlighted) with its box, then
    // the row as the list draws it in the rest.
    void DrawItem(QPainter &canvas, int index, const QRect &rect) override;
    // `state`: 1 checked; 0 (and 2, grayed) unchecked.
    void DrawCheck(QPainter &canvas, const QRect &rect, int state, bool enabled);

    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int RowCount() const;
    void Toggle(int index);

    TBoolList m_checks; // one entry per row, unchecked = false
    bool m_flat = true;
};

class TCheckFileListBoxEx : public TCheckListBox<TFileListBoxEx>
{
    Q_OBJECT

public:
    explicit TCheckFileListBoxEx(QWidget *parent = nullptr);
};

class TCheckDirectoryListBoxEx : public TCheckListBox<TDirectoryListBoxEx>
{
    Q_OBJECT

public:
    // Clicks in the 16-pixel check column only toggle, never open.
    explicit TCheckDirectoryListBoxEx(QWidget *parent = nullptr);
};
