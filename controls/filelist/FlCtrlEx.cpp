#include "controls/filelist/FlCtrlEx.h"

#include "controls/filelist/detail/FileIcons.h"

#include <QFile>
#include <QPainter>

namespace {

constexpr int kIconSize = 16;
constexpr int kRowHeight = kIconSize + 1;

} // namespace

TFileListBoxEx::TFileListBoxEx(QWidget *parent)
    : TFileListBox(parent)
{
}

TFileListBoxEx::~TFileListBoxEx() = default;

void TFileListBoxEx::DrawItem(QPainter &canvas, int index, const QRect &rect)
{
    canvas.fillRect(rect, canvas.brush());
    const QString text = QFile::decodeName(QByteArray::fromStdString(Items(index)));
    const QIcon icon = IsFolderRow(index) ? QvlFileList::FolderIcon(false) : QvlFileList::IconForFileName(text);
    if (!icon.isNull())
        icon.paint(&canvas, QRect(rect.left(), rect.top(), kIconSize, kIconSize));
    canvas.drawText(QRect(rect.left() + kRowHeight, rect.top(), rect.width() - kRowHeight, rect.height()),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

int TFileListBoxEx::MeasureItem()
{
    return kRowHeight;
}
