#include "controls/filelist/detail/RowPainter.h"

#include <QAbstractItemView>
#include <QPainter>

namespace QvlFileList {

TOwnerDrawDelegate::TOwnerDrawDelegate(QWidget *list, DrawFn draw, HeightFn rowHeight)
    : QStyledItemDelegate(list), m_list(list), m_draw(std::move(draw)), m_rowHeight(std::move(rowHeight))
{
}

void TOwnerDrawDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (!index.isValid())
        return;
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (option.state & QStyle::State_Active) ? QPalette::Active
                                                                               : QPalette::Inactive;
    const QPalette &palette = m_list->palette();
    painter->save();
    painter->setClipRect(option.rect);
    painter->setFont(m_list->font());
    painter->setBrush(palette.brush(group, selected ? QPalette::Highlight : QPalette::Base));
    painter->setPen(palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    m_draw(*painter, index.row(), option.rect);
    painter->restore();
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.initFrom(m_list);
        focus.rect = option.rect;
        focus.backgroundColor = palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
        m_list->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, m_list);
    }
}

QSize TOwnerDrawDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (!m_rowHeight)
        return QStyledItemDelegate::sizeHint(option, index);
    const auto *view = qobject_cast<const QAbstractItemView *>(m_list);
    return QSize(view ? view->viewport()->width() : m_list->width(), m_rowHeight());
}

} // namespace QvlFileList
