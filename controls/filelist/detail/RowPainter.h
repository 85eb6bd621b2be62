// Owner-drawn rows for the list controls: a delegate that hands each row to
// the control's own drawing, with the canvas prepared as a list box prepares
// it (row background as brush, text colour as pen, highlight colours for the
// selected row) and the focus frame drawn afterwards.
#pragma once

#include <QStyledItemDelegate>

#include <functional>

namespace QvlFileList {

class TOwnerDrawDelegate : public QStyledItemDelegate
{
public:
    using DrawFn = std::function<void(QPainter &canvas, int index, const QRect &rect)>;
    using HeightFn = std::function<int()>;

    // `rowHeight` empty: rows keep the height the view's style gives them.
    TOwnerDrawDelegate(QWidget *list, DrawFn draw, HeightFn rowHeight = {});

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    QWidget *m_list;
    DrawFn m_draw;
    HeightFn m_rowHeight;
};

} // namespace QvlFileList
