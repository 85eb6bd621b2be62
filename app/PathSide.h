// One side of the path selection, Source or Target: its path box with the
// box's history list and pop-up menu, its folder tree and its file list.
// Both sides are one of these. What concerns only the side's own widgets
// lives here; what ties a side to the window (the status line, the
// completion candidates, the other side, the Start button) stays in
// TMainForm.
#pragma once

class QKeyEvent;
class QLineEdit;
class QListWidget;
class QMenu;
class TFileListBoxEx;
class TSystemTreeView;

class TPathSide
{
public:
    TPathSide() = default;
    TPathSide(QLineEdit *edit, QListWidget *history, TSystemTreeView *tree, TFileListBoxEx *fileList);

    QLineEdit *Edit = nullptr;
    QListWidget *History = nullptr;
    TSystemTreeView *Tree = nullptr;
    TFileListBoxEx *FileList = nullptr;
    QMenu *Popup = nullptr;
    int PendingFile = 0; // the box's Tag: 1 after Enter accepted a file path

    // The history list as it starts: a borderless list in the info-tip
    // colours, one row tall, hidden.
    void SetUpHistory();
    // With entries: nothing selected, shown right below the box.
    void ShowHistory();
    // With entries: shown below the box when hidden, hidden when shown.
    void ToggleHistory();
    // Puts the list right below the box, as wide as the box.
    void PlaceHistory();
    // The box's text becomes the first entry, and the only one of that text;
    // the list grows a row per entry until it is four rows tall.
    void AddToHistory();
    // The Down arrow in the box moves into a visible history list, on its
    // first entry; true when it did.
    bool KeyDownToHistory(const QKeyEvent *key);
};
