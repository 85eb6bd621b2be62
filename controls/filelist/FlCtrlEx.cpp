#include "FlCtrlEx.h"

#include "detail/FileIcons.h"

#include <QFile>
#include <QPainter>

namespace {

constexpr int kIconSize = 16;
constexpr int kRowHeight = kIconSize + 1;

} // namespace

TFileListBoxEx::TFileListBoxEx(QWidget *parent)
    : TFileListBox(parent), m_iconsAtDrawTime(true)
{
}

TFileListBoxEx::~TFileListBoxEx() = default;

std::uint32_t TFileListBoxEx::GetVersionNr() const
{
    return 0x01020000;
}

std::string TFileListBoxEx::Version() const
{
    const std::uint32_t nr = GetVersionNr();
    return std::to_string(nr >> 24) + '.' + std::to_string((nr >> 16) & 0xFF) + '.'
           + std::to_string((nr >> 8) & 0xFF) + '.' + std::to_string(nr & 0xFF);
}

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
