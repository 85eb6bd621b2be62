// A sorted, single-selection list of the files of one folder, filtered by
// wildcard masks and an attribute set: the list box that TFileListBoxEx
// builds on, with the behaviour the main window relies on.
//
// Rows are sorted by text without regard to case; equal texts keep their
// arrival order and stand next to each other. Each row carries a text (file
// name bytes, or "[name]" for a folder row) and one integer value (0 unless
// set). Rows are drawn by DrawItem with a fixed height asked once from
// MeasureItem.
//
// Only the window thread uses a list. Listing changes the process's current
// folder to Directory as a side effect.
#pragma once

#include <QListView>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "controls/filelist/FileListErrors.h"

class TDirectoryListBox;
class TFileListModel;
struct TDirEntry;

// The attribute filter of a listing.
enum TFileAttr {
    ftReadOnly,  // the user may not write the file
    ftHidden,    // the name begins with "."
    ftSystem,    // neither a regular file nor a folder (FIFO, socket, device, dangling link)
    ftVolumeID,  // never set on Linux
    ftDirectory, // a folder, or a link to one
    ftArchive,   // never set on Linux
    ftNormal,    // any file the search returns, whatever its attributes
};

// Attribute bits, as a listing combines them into its attribute word.
enum : unsigned {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faVolumeID = 0x08,
    faDirectory = 0x10,
    faArchive = 0x20,
};

// A set of TFileAttr values.
class TFileType
{
public:
    constexpr TFileType() = default;
    constexpr TFileType(std::initializer_list<TFileAttr> attrs)
    {
        for (TFileAttr a : attrs)
            m_bits |= 1u << a;
    }
    constexpr bool Contains(TFileAttr a) const { return m_bits & (1u << a); }
    constexpr TFileType &Include(TFileAttr a) { m_bits |= 1u << a; return *this; }
    constexpr TFileType &Exclude(TFileAttr a) { m_bits &= ~(1u << a); return *this; }
    constexpr TFileType With(TFileAttr a) const { TFileType t = *this; return t.Include(a); }
    constexpr TFileType Without(TFileAttr a) const { TFileType t = *this; return t.Exclude(a); }
    // The attribute word of a listing: the bits of ftReadOnly ... ftArchive.
    constexpr unsigned AttributeWord() const { return m_bits & 0x3F; }
    constexpr bool operator==(const TFileType &) const = default;

private:
    unsigned m_bits = 0;
};

class TFileListBox : public QListView
{
    Q_OBJECT

public:
    // Directory = the process's current folder, Mask "*.*", FileType
    // {ftNormal}, width 145. Nothing is listed until the list is first shown.
    explicit TFileListBox(QWidget *parent = nullptr);
    ~TFileListBox() override;

    // The folder listed: an absolute path without a trailing slash ("/" for
    // the root).
    std::string Directory() const { return m_directory; }
    // Does nothing for the folder already shown. Otherwise the present folder
    // is made current (when it still exists), then `folder` (a relative path
    // resolves against the present folder, "~" is the home folder); the list
    // stores the result and re-reads. A folder that cannot be made current or
    // listed throws EInOutError; Directory, the rows and the current folder
    // then stay as they were.
    void SetDirectory(const std::string &folder);

    // Wildcard patterns separated by ";", matched against names without
    // regard to case ("*" any run, "?" one character; "*.*" matches every
    // name, "x.*" also matches "x", "*." matches names without a dot). An
    // empty piece matches nothing; a name two pieces match is listed twice.
    std::string Mask() const { return m_mask; }
    // Stores and re-reads when the text differs (case-sensitive). The mask is
    // stored even when the re-read throws.
    void SetMask(const std::string &mask);

    TFileType FileType() const { return m_fileType; }
    // Stores and re-reads when the set differs; stored even when the re-read
    // throws.
    void SetFileType(TFileType fileType);

    // Folder rows get the folder glyph as their value when set; default false.
    bool ShowGlyphs() const { return m_showGlyphs; }
    void SetShowGlyphs(bool on);

    // Directory and the selected row's text joined by one "/", or "" when no
    // row is selected.
    std::string FileName() const;
    // Takes a path typed or picked by the user:
    // - empty, or equal to FileName(): nothing happens;
    // - the folder part (up to the last "/") becomes Directory, through the
    //   linked directory list when there is one;
    // - a file part with "*" or "?" becomes Mask;
    // - any other file part selects its row (the exact name first, otherwise
    //   the first row equal without regard to case), firing OnChange when
    //   the selection changed. When no such file exists in the folder,
    //   EInvalidOperation "Invalid file name - <text>" is thrown (a folder
    //   or a FIFO is no file); when the file exists but the mask hides it,
    //   its name becomes Mask and its row is selected (unless FileType
    //   hides it too, a hidden file without ftHidden, say).
    void SetFileName(const std::string &path);

    // Lists Directory again: makes it current, replaces all rows, shows the
    // busy cursor once a row lands at sorted position 100 (until the end),
    // then fires OnChange with no row selected. Does nothing before the list
    // has been shown (it lists then). Throws EInOutError for a folder that
    // cannot be made current or listed; the rows stay as they were and the
    // cursor is always restored.
    virtual void ReadFileNames();

    // Puts a file row with `text` (a name) before row `index` (Count()
    // appends), where it is, unsorted, until the next re-read; removes row
    // `index`. No event fires. An index outside the rows throws EListError.
    void InsertItem(int index, const std::string &text);
    void DeleteItem(int index);

    // Removes all rows. Directory is unchanged; no event fires.
    void Clear();

    int Count() const;
    // The text of a row (name bytes, "[name]" for a folder row).
    std::string Items(int index) const;
    std::intptr_t Objects(int index) const;
    bool IsFolderRow(int index) const;

    // The selected row, or -1. Setting fires nothing; -1 deselects.
    int ItemIndex() const;
    void SetItemIndex(int index);
    bool Selected(int index) const;
    // Deselecting the selected row leaves no row selected.
    void SetSelected(int index, bool selected);

    // The row height stored with a form; the base measures rows with it.
    int ItemHeight() const { return m_itemHeight; }
    void SetItemHeight(int height);
    // The height every row is drawn with, fixed when the list is first shown.
    int RowHeight() const;

    // Whether the window of the list exists (it has been shown once).
    bool HandleAllocated() const;

    // The directory list linked to this list, or nullptr. Link and unlink
    // through TDirectoryListBox::SetFileList; either side's destruction drops
    // the link on both sides.
    TDirectoryListBox *DirList() const { return m_dirList; }

    // Events; each is called with this list as sender, empty = no handler.
    // Handlers run on the window thread, inside the event that caused them.
    //
    // OnChange: at the end of every re-read, and whenever the selected row
    //   changes by a click, a key or a write of FileName.
    std::function<void(QObject *sender)> OnChange;
    // OnClick: the user pressed a row with the left mouse button (also the
    //   row already selected), or changed the selection with a key. Fired
    //   before OnChange, which follows only when the selected row differs
    //   from the one remembered at the last OnChange.
    std::function<void(QObject *sender)> OnClick;
    // OnDblClick: a row was double-clicked (after its OnClick).
    std::function<void(QObject *sender)> OnDblClick;
    // OnEnter / OnExit: the keyboard focus arrives / leaves (not when a
    // pop-up opens or another application is activated).
    std::function<void(QObject *sender)> OnEnter;
    std::function<void(QObject *sender)> OnExit;

protected:
    // Paints one row. On entry the painter's brush is the row's background
    // and its pen the text colour (highlight colours for the selected row);
    // the focus frame is drawn afterwards by the list.
    virtual void DrawItem(QPainter &canvas, int index, const QRect &rect);
    // The fixed row height, asked once when the list is first shown. The
    // base answers ItemHeight().
    virtual int MeasureItem();
    // The value stored with a file row that a listing adds; the base stores 0.
    virtual std::intptr_t FileRowValue(const std::string &name);
    // Called after every row a listing inserts, with its sorted position
    // and the rows so far; lets a subclass watch long listings.
    virtual void RowInserted(int position);
    // The folder's entries in the order the file system returns them; throws
    // EInOutError when the folder cannot be read. A subclass may supply them
    // in another order.
    virtual void ListFolder(const std::string &folder, std::vector<TDirEntry> &entries);

    // Remembers the selected row and fires OnChange.
    virtual void Change();
    // Fires OnClick, then Change() when the selection differs from the
    // remembered one.
    virtual void Click();

    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    friend class TDirectoryListBox;

    // Selects the row under a left click and fires its click; false when the
    // event was no left click on a row.
    bool ClickRowAt(QMouseEvent *event);
    // Lists `folder` into a new row set and makes it the list's rows.
    void ListInto(const std::string &folder);

    std::unique_ptr<TFileListModel> m_model;
    std::string m_directory;
    std::string m_mask = "*.*";
    TFileType m_fileType{ftNormal};
    bool m_showGlyphs = false;
    int m_itemHeight = 13;
    int m_rowHeight = 0;   // 0 until measured
    bool m_listed = false; // a listing has run since the list was shown
    int m_lastSel = -1;    // the row remembered at the last OnChange
    TDirectoryListBox *m_dirList = nullptr;
};
