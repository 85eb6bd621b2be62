#include "controls/filelist/CheckListBoxEx.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionViewItem>

namespace {

constexpr int kCheckColumn = 18; // the column the box stands in
constexpr int kCheckBox = 16;    // the box and its margin; clicks left of it toggle

} // namespace

template <class TBase>
TCheckListBox<TBase>::TCheckListBox(QWidget *parent) : TBase(parent)
{
    QAbstractItemModel *rows = this->model();
    // A row appended and a row put in between are mirrored alike, so that
    // the checks of the rows after it stay with their rows.
    QObject::connect(rows, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &, int first, int last) {
        while (m_checks.Count() < first)
            m_checks.Add(false);
        for (int i = first; i <= last; ++i)
            m_checks.Insert(i, false);
    });
    QObject::connect(rows, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex &, int first, int last) {
        for (int i = std::min(last, m_checks.Count() - 1); i >= first; --i)
            m_checks.Delete(i);
    });
    QObject::connect(rows, &QAbstractItemModel::modelReset, this, [this] { m_checks.Clear(); });
    SyncLists();
}

template <class TBase>
TCheckListBox<TBase>::~TCheckListBox() = default;

template <class TBase>
int TCheckListBox<TBase>::RowCount() const
{
    return this->model()->rowCount();
}

template <class TBase>
void TCheckListBox<TBase>::SyncLists()
{
    while (m_checks.Count() < RowCount())
        m_checks.Add(false);
    while (m_checks.Count() > RowCount())
        m_checks.Delete(m_checks.Count() - 1);
}

template <class TBase>
bool TCheckListBox<TBase>::GetChecked(int index)
{
    SyncLists();
    return m_checks.GetBoolean(index);
}

template <class TBase>
void TCheckListBox<TBase>::SetChecked(int index, bool checked)
{
    SyncLists();
    m_checks.SetBoolean(index, checked);
    this->viewport()->update(this->visualRect(this->model()->index(index, 0)));
}

template <class TBase>
void TCheckListBox<TBase>::SetFlat(bool flat)
{
    m_flat = flat;
    this->viewport()->update();
}

template <class TBase>
void TCheckListBox<TBase>::DrawItem(QPainter &canvas, int index, const QRect &rect)
{
    const QRect column(rect.left(), rect.top(), kCheckColumn, rect.height());
    canvas.fillRect(column, this->palette().color(this->isEnabled() ? QPalette::Active : QPalette::Disabled,
                                                  QPalette::Base));
    // A square box, centred in rows taller than the box.
    const int side = std::min(kCheckBox - 2, rect.height() - 2);
    const QRect box(rect.left() + 1, rect.top() + (rect.height() - side) / 2, side, side);
    DrawCheck(canvas, box, GetChecked(index) ? 1 : 0, this->isEnabled());
    TBase::DrawItem(canvas, index, rect.adjusted(kCheckColumn, 0, 0, 0));
}

template <class TBase>
void TCheckListBox<TBase>::DrawCheck(QPainter &canvas, const QRect &rect, int state, bool enabled)
{
    QStyleOptionViewItem option;
    option.initFrom(this);
    option.rect = rect;
    option.state = QStyle::State_None;
    if (enabled)
        option.state |= QStyle::State_Enabled;
    option.state |= state == 1 ? QStyle::State_On : QStyle::State_Off;
    if (!m_flat)
        option.state |= QStyle::State_Raised;
    const QStyle::PrimitiveElement element = m_flat ? QStyle::PE_IndicatorItemViewItemCheck : QStyle::PE_IndicatorCheckBox;
    this->style()->drawPrimitive(element, &option, &canvas, this);
}

template <class TBase>
void TCheckListBox<TBase>::Toggle(int index)
{
    SetChecked(index, !GetChecked(index));
    if (OnClickCheck)
        OnClickCheck(this, index);
}

template <class TBase>
void TCheckListBox<TBase>::mousePressEvent(QMouseEvent *event)
{
    TBase::mousePressEvent(event);
    if (event->button() != Qt::LeftButton || event->position().x() >= kCheckBox)
        return;
    const int row = this->indexAt(event->position().toPoint()).row();
    if (row >= 0 && row < RowCount())
        Toggle(row);
}

template <class TBase>
void TCheckListBox<TBase>::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space) {
        const QModelIndexList selected = this->selectionModel()->selectedIndexes();
        if (!selected.isEmpty())
            Toggle(selected.first().row());
    }
    TBase::keyPressEvent(event);
}

template class TCheckListBox<TFileListBoxEx>;
template class TCheckListBox<TDirectoryListBoxEx>;

TCheckFileListBoxEx::TCheckFileListBoxEx(QWidget *parent) : TCheckListBox<TFileListBoxEx>(parent)
{
}

TCheckDirectoryListBoxEx::TCheckDirectoryListBoxEx(QWidget *parent) : TCheckListBox<TDirectoryListBoxEx>(parent)
{
    m_checkWidth = kCheckBox;
}
