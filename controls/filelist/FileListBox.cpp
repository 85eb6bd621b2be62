#include "controls/filelist/FileListBox.h"

#include "platform/CurrentFolder.h"
#include "platform/DirReader.h"
#include "controls/filelist/DirectoryListBox.h"
#include "platform/FileAttributes.h"
#include "platform/PathKind.h"
#include "platform/Paths.h"
#include "controls/filelist/detail/FolderRules.h"
#include "controls/filelist/detail/RowPainter.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <numeric>

using namespace QvlFileList;

namespace {

// The value a folder row carries when glyphs are shown.
constexpr std::intptr_t kFolderGlyph = 1;

QString Decode(const std::string &bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// The hourglass of a long listing: switched on at most once, and always
// switched back, also when the listing ends with an error.
class TBusyCursor
{
public:
    TBusyCursor() = default;
    TBusyCursor(const TBusyCursor &) = delete;
    TBusyCursor &operator=(const TBusyCursor &) = delete;
    ~TBusyCursor()
    {
        if (m_on)
            QApplication::restoreOverrideCursor();
    }
    void Show()
    {
        if (!m_on)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        m_on = true;
    }

private:
    bool m_on = false;
};

// Counts the ranks added so far below a given rank (a Fenwick tree).
class TRankCounter
{
public:
    explicit TRankCounter(std::size_t size) : m_tree(size + 1, 0) {}
    void Add(std::size_t rank)
    {
        for (std::size_t i = rank + 1; i < m_tree.size(); i += i & (~i + 1))
            ++m_tree[i];
    }
    std::size_t CountBelow(std::size_t rank) const
    {
        std::size_t count = 0;
        for (std::size_t i = rank; i > 0; i -= i & (~i + 1))
            count += m_tree[i];
        return count;
    }

private:
    std::vector<std::size_t> m_tree;
};

} // namespace

struct TFileListRow {
    std::string text; // name bytes, or "[name]" for a folder row
    QString display;  // the text as shown and sorted
    std::intptr_t value = 0;
    bool folder = false;
};

class TFileListModel : public QAbstractListModel
{
public:
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(rows.size());
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        // The display text serves keyboard search; painting is the list's.
        if (role != Qt::DisplayRole || index.row() < 0 || index.row() >= rowCount())
            return {};
        return rows[index.row()].display;
    }
    void InsertRow(int index, TFileListRow &&row)
    {
        beginInsertRows({}, index, index);
        rows.insert(rows.begin() + index, std::move(row));
        endInsertRows();
    }
    void RemoveRow(int index)
    {
        beginRemoveRows({}, index, index);
        rows.erase(rows.begin() + index);
        endRemoveRows();
    }
    void SetRows(std::vector<TFileListRow> &&newRows)
    {
        beginResetModel();
        rows = std::move(newRows);
        endResetModel();
    }

    std::vector<TFileListRow> rows;
};

TFileListBox::TFileListBox(QWidget *parent)
    : QListView(parent), m_model(std::make_unique<TFileListModel>()), m_directory(ExcludeTrailingSlash(CurrentFolder()))
{
    setModel(m_model.get());
    setItemDelegate(new TOwnerDrawDelegate(
        this,
        [this](QPainter &canvas, int index, const QRect &rect) {
            if (index < Count())
                DrawItem(canvas, index, rect);
        },
        [this] { return RowHeight(); }));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    resize(145, height());
}

TFileListBox::~TFileListBox()
{
    if (m_dirList)
        m_dirList->m_fileList = nullptr;
    // The view must let go of the model before the model goes.
    setModel(nullptr);
}

void TFileListBox::SetDirectory(const std::string &folder)
{
    const std::string target = ResolveFolder(m_directory, folder);
    if (!target.empty() && target == m_directory)
        return;
    ChangeToFolder(m_directory, target, folder);
    const std::string previous = m_directory;
    m_directory = target;
    try {
        ReadFileNames();
    } catch (...) {
        // A folder we could enter but not list must not pair the new folder
        // with the old rows: FileName would name files that are not there.
        m_directory = previous;
        if (!previous.empty())
            SetCurrentFolder(previous);
        throw;
    }
}

void TFileListBox::SetMask(const std::string &mask)
{
    if (mask == m_mask)
        return;
    m_mask = mask;
    ReadFileNames();
}

void TFileListBox::SetFileType(TFileType fileType)
{
    if (fileType == m_fileType)
        return;
    m_fileType = fileType;
    ReadFileNames();
}

void TFileListBox::SetShowGlyphs(bool on)
{
    if (on == m_showGlyphs)
        return;
    m_showGlyphs = on;
    viewport()->update();
}

std::string TFileListBox::FileName() const
{
    const int index = ItemIndex();
    if (index < 0)
        return {};
    return IncludeTrailingSlash(m_directory) + Items(index);
}

namespace {

// The row of `name`: the exact text first, otherwise the first row that
// equals it without regard to case; -1 when none does.
int FindRow(const std::vector<TFileListRow> &rows, const std::string &name)
{
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].text == name)
            return static_cast<int>(i);
    const QString wanted = Decode(name);
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (CompareNames(rows[i].display, wanted) == 0)
            return static_cast<int>(i);
    return -1;
}

} // namespace

void TFileListBox::SetFileName(const std::string &path)
{
    if (path.empty() || path == FileName())
        return;
    const std::string text = ExpandHome(path);
    const std::size_t slash = text.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : slash == 0 ? std::string("/") : text.substr(0, slash);
    const std::string file = slash == std::string::npos ? text : text.substr(slash + 1);

    if (!folder.empty()) {
        // Resolved here, so that a relative folder means the same to the
        // directory list as to this list: relative to the folder shown.
        if (m_dirList)
            m_dirList->SetDirectory(ResolveFolder(m_directory, folder));
        else
            SetDirectory(folder);
    }
    if (file.find_first_of("*?") != std::string::npos) {
        SetMask(file);
        return;
    }
    if (file.empty())
        return;

    const auto select = [this, &file] {
        const int row = FindRow(m_model->rows, file);
        if (row != ItemIndex()) {
            SetItemIndex(row);
            Change();
        }
    };
    select();
    if (GetPathKind(IncludeTrailingSlash(m_directory) + file) != pkFile)
        throw EInvalidOperation("Invalid file name - " + path);
    if (ItemIndex() < 0) {
        SetMask(file);
        select();
    }
}

void TFileListBox::ReadFileNames()
{
    if (!HandleAllocated())
        return;
    if (const int err = SetCurrentFolder(m_directory))
        throw EInOutError(err, m_directory);
    ListInto(m_directory);
    Change();
}

void TFileListBox::ListInto(const std::string &folder)
{
    const unsigned wanted = m_fileType.AttributeWord();
    const bool normal = m_fileType.Contains(ftNormal);
    // A search returns these only when they are asked for.
    const unsigned excluded = ~wanted & (faHidden | faSysFile | faVolumeID | faDirectory);

    std::vector<TDirEntry> entries;
    ListFolder(folder, entries);

    struct Found {
        const TDirEntry *entry;
        QString name;
    };
    std::vector<Found> candidates;
    for (const TDirEntry &e : entries) {
        unsigned attrs = 0;
        if (IsHiddenName(e.name))
            attrs |= faHidden;
        if (e.kind == TEntryKind::Directory)
            attrs |= faDirectory;
        else if (e.kind == TEntryKind::Other)
            attrs |= faSysFile;
        if ((attrs & excluded) != 0)
            continue;
        if (!normal && (wanted & faReadOnly) && IsReadOnlyPath(IncludeTrailingSlash(folder) + e.name))
            attrs |= faReadOnly;
        if (!normal && (attrs & wanted) == 0)
            continue;
        candidates.push_back({&e, Decode(e.name)});
    }

    // The rows in the order the search finds them: mask by mask, entry by
    // entry.
    std::vector<TFileListRow> found;
    std::size_t start = 0;
    while (start <= m_mask.size()) {
        std::size_t end = m_mask.find(';', start);
        if (end == std::string::npos)
            end = m_mask.size();
        const QString pattern = Decode(m_mask.substr(start, end - start));
        start = end + 1;
        if (pattern.isEmpty())
            continue;
        for (const Found &c : candidates) {
            if (!MatchesFindPattern(c.name, pattern))
                continue;
            TFileListRow row;
            if (c.entry->kind == TEntryKind::Directory) {
                row.display = QStringLiteral("[%1]").arg(c.name);
                row.text = "[" + c.entry->name + "]";
                row.folder = true;
                row.value = m_showGlyphs ? kFolderGlyph : 0;
            } else {
                row.display = c.name;
                row.text = c.entry->name;
                row.value = FileRowValue(c.entry->name);
            }
            found.push_back(std::move(row));
        }
    }

    // Sorted, equal rows in the order found. Inserting each row in turn
    // after the rows that sort equal would cost a quadratic number of moves
    // in a large folder; the position each insert would take is counted
    // instead: the rows found earlier that sort before it.
    std::vector<std::size_t> order(found.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(), [&found](std::size_t a, std::size_t b) {
        return CompareNames(found[a].display, found[b].display) < 0;
    });
    std::vector<std::size_t> rank(found.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        rank[order[k]] = k;
    TBusyCursor busy;
    TRankCounter inserted(found.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        const int position = static_cast<int>(inserted.CountBelow(rank[i]));
        inserted.Add(rank[i]);
        if (position == 100)
            busy.Show();
        RowInserted(position);
    }
    std::vector<TFileListRow> rows;
    rows.reserve(found.size());
    for (std::size_t k : order)
        rows.push_back(std::move(found[k]));
    m_model->SetRows(std::move(rows));
    m_listed = true;
}

void TFileListBox::ListFolder(const std::string &folder, std::vector<TDirEntry> &entries)
{
    TDirReader reader(folder);
    if (reader.OpenError())
        throw EInOutError(reader.OpenError(), folder);
    TDirEntry entry;
    while (reader.Next(entry, false))
        entries.push_back(entry);
    if (reader.Error())
        throw EInOutError(reader.Error(), folder);
}

std::intptr_t TFileListBox::FileRowValue(const std::string &)
{
    return 0;
}

void TFileListBox::RowInserted(int)
{
}

void TFileListBox::InsertItem(int index, const std::string &text)
{
    if (index < 0 || index > Count())
        throw EListError(index);
    TFileListRow row;
    row.text = text;
    row.display = Decode(text);
    m_model->InsertRow(index, std::move(row));
}

void TFileListBox::DeleteItem(int index)
{
    if (index < 0 || index >= Count())
        throw EListError(index);
    m_model->RemoveRow(index);
}

void TFileListBox::Clear()
{
    m_model->SetRows({});
}

int TFileListBox::Count() const
{
    return m_model->rowCount();
}

std::string TFileListBox::Items(int index) const
{
    return index >= 0 && index < Count() ? m_model->rows[index].text : std::string();
}

std::intptr_t TFileListBox::Objects(int index) const
{
    return index >= 0 && index < Count() ? m_model->rows[index].value : 0;
}

bool TFileListBox::IsFolderRow(int index) const
{
    return index >= 0 && index < Count() && m_model->rows[index].folder;
}

int TFileListBox::ItemIndex() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void TFileListBox::SetItemIndex(int index)
{
    if (index < 0 || index >= Count()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex at = m_model->index(index);
    selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect);
    scrollTo(at);
}

bool TFileListBox::Selected(int index) const
{
    return index >= 0 && index == ItemIndex();
}

void TFileListBox::SetSelected(int index, bool selected)
{
    if (selected)
        SetItemIndex(index);
    else if (index >= 0 && index == ItemIndex())
        SetItemIndex(-1);
}

void TFileListBox::SetItemHeight(int height)
{
    if (height > 0)
        m_itemHeight = height;
}

int TFileListBox::RowHeight() const
{
    return m_rowHeight > 0 ? m_rowHeight : m_itemHeight;
}

bool TFileListBox::HandleAllocated() const
{
    return testAttribute(Qt::WA_WState_Created);
}

void TFileListBox::DrawItem(QPainter &canvas, int index, const QRect &rect)
{
    canvas.fillRect(rect, canvas.brush());
    canvas.drawText(rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    m_model->rows[index].display);
}

int TFileListBox::MeasureItem()
{
    return m_itemHeight;
}

void TFileListBox::Change()
{
    m_lastSel = ItemIndex();
    if (OnChange)
        OnChange(this);
}

void TFileListBox::Click()
{
    if (OnClick)
        OnClick(this);
    if (m_lastSel != ItemIndex())
        Change();
}

void TFileListBox::showEvent(QShowEvent *event)
{
    QListView::showEvent(event);
    if (m_rowHeight == 0) {
        m_rowHeight = std::max(1, MeasureItem());
        scheduleDelayedItemsLayout();
    }
    if (!m_listed) {
        // The first listing comes with the window. A folder that vanished
        // meanwhile leaves the list empty; there is no caller to tell.
        try {
            ReadFileNames();
        } catch (const std::exception &) {
            m_listed = true;
        }
    }
}

bool TFileListBox::ClickRowAt(QMouseEvent *event)
{
    // A list box selects with the left button only, never deselects on a
    // click, and tells every click on a row, also on the row already selected.
    const QModelIndex at = indexAt(event->position().toPoint());
    event->accept();
    if (event->button() != Qt::LeftButton || !at.isValid())
        return false;
    SetItemIndex(at.row());
    Click();
    return true;
}

void TFileListBox::mousePressEvent(QMouseEvent *event)
{
    ClickRowAt(event);
}

void TFileListBox::mouseMoveEvent(QMouseEvent *event)
{
    // No selecting by dragging: every change of the selection is a click.
    event->accept();
}

void TFileListBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The press before a double click has already clicked its row; a double
    // click that comes alone clicks it now.
    const QModelIndex at = indexAt(event->position().toPoint());
    const bool clicked = at.isValid() && at.row() == ItemIndex() && event->button() == Qt::LeftButton;
    if ((clicked || ClickRowAt(event)) && OnDblClick)
        OnDblClick(this);
    event->accept();
}

void TFileListBox::keyPressEvent(QKeyEvent *event)
{
    const int before = ItemIndex();
    QListView::keyPressEvent(event);
    if (ItemIndex() != before)
        Click();
}

namespace {

// Focus that moves because a menu opened or another application came to the
// front is not a move of the focus between controls.
bool IsControlFocusChange(const QFocusEvent *event)
{
    return event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason;
}

} // namespace

void TFileListBox::focusInEvent(QFocusEvent *event)
{
    QListView::focusInEvent(event);
    if (OnEnter && IsControlFocusChange(event))
        OnEnter(this);
}

void TFileListBox::focusOutEvent(QFocusEvent *event)
{
    QListView::focusOutEvent(event);
    if (OnExit && IsControlFocusChange(event))
        OnExit(this);
}
