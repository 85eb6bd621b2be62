#include "controls/filelist/DirectoryListBoxEx.h"

#include "controls/filelist/detail/FileIcons.h"
#include "controls/filelist/detail/RowPainter.h"

#include <QFile>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int kIconSize = 16;
constexpr int kTextGap = 4;

} // namespace

TDirectoryListBoxEx::TDirectoryListBoxEx(QWidget *parent) : TDirectoryListBox(parent)
{
    setItemDelegate(new QvlFileList::TOwnerDrawDelegate(this, [this](QPainter &canvas, int index, const QRect &rect) {
        if (index < Count())
            DrawItem(canvas, index, rect);
    }));
    SetBorderStyle(bsSingle);
}

TDirectoryListBoxEx::~TDirectoryListBoxEx() = default;

void TDirectoryListBoxEx::SetBorderStyle(TBorderStyle style)
{
    m_borderStyle = style;
    setFrameShape(style == bsSingle ? QFrame::StyledPanel : QFrame::NoFrame);
}

int TDirectoryListBoxEx::RowIndent(int index) const
{
    // Counted in rows, not in the separators of the path: the rows begin at
    // the mount point, which may lie any number of folders below "/".
    const int level = index > DirectoryRow() ? DirectoryRow() + 1 : index;
    return 4 * level + 2;
}

void TDirectoryListBoxEx::DrawItem(QPainter &canvas, int index, const QRect &rect)
{
    canvas.fillRect(rect, canvas.brush());
    const int indent = RowIndent(index);
    const QIcon icon = QvlFileList::FolderIcon(index <= DirectoryRow());
    const int iconTop = rect.top() + std::max(0, (rect.height() - kIconSize) / 2);
    if (!icon.isNull())
        icon.paint(&canvas, QRect(rect.left() + indent, iconTop, kIconSize, kIconSize));
    const int textLeft = rect.left() + kIconSize + indent + kTextGap;
    canvas.drawText(QRect(textLeft, rect.top(), rect.right() - textLeft + 1, rect.height()),
                    Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    QFile::decodeName(QByteArray::fromStdString(ItemName(index))));
}

void TDirectoryListBoxEx::keyboardSearch(const QString &search)
{
    if (!search.trimmed().isEmpty())
        TDirectoryListBox::keyboardSearch(search);
}

void TDirectoryListBoxEx::mouseReleaseEvent(QMouseEvent *event)
{
    TDirectoryListBox::mouseReleaseEvent(event);
    const bool endsDoubleClick = m_inDoubleClick;
    m_inDoubleClick = false;
    if (!m_directOpen || endsDoubleClick || event->button() != Qt::LeftButton
        || event->position().x() <= m_checkWidth)
        return;
    if (indexAt(event->position().toPoint()).row() >= 0)
        OpenRow(currentRow());
}

void TDirectoryListBoxEx::mouseDoubleClickEvent(QMouseEvent *event)
{
    const bool onCheckColumn = event->position().x() <= m_checkWidth;
    if (!m_directOpen && !onCheckColumn) {
        TDirectoryListBox::mouseDoubleClickEvent(event);
        return;
    }
    // The first click has opened the folder already (or was on the check
    // column, which never opens): the second click is a click of its own,
    // and a folder that moved under the pointer meanwhile is not opened too.
    mousePressEvent(event);
    m_inDoubleClick = m_directOpen && !onCheckColumn;
}

void TDirectoryListBoxEx::mousePressEvent(QMouseEvent *event)
{
    m_inDoubleClick = false;
    TDirectoryListBox::mousePressEvent(event);
}
