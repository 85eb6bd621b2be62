// TSystemTreeView: how it shows its nodes: the highlight of a whole row,
// check boxes, and scrolling when the mouse nears an edge.
#include "controls/foldertree/SystemTreeView.h"

#include "controls/foldertree/detail/SystemTreeNode.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>

#include <cstdlib>

// ---------------------------------------------------------------- row select

void TSystemTreeView::SetRowSelect(bool on)
{
    if (m_rowSelect == on)
        return;
    m_rowSelect = on;
    // A stretched column lets the highlight reach the right edge; names
    // wider than the tree are then cut instead of scrolled to.
    header()->setStretchLastSection(on);
    header()->setSectionResizeMode(0, on ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
}

// ---------------------------------------------------------------- check boxes

void TSystemTreeView::SetCheckboxes(bool on)
{
    if (m_checkboxes == on)
        return;
    m_checkboxes = on;
    if (m_hasWindow)
        RecreateWnd();
}

bool TSystemTreeView::GetItemCheck(QTreeWidgetItem *node) const
{
    return node && m_checkboxes && node->checkState(0) == Qt::Checked;
}

void TSystemTreeView::SetItemCheck(QTreeWidgetItem *node, bool checked)
{
    if (node && m_checkboxes)
        node->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

// ---------------------------------------------------------------- auto-scroll

void TSystemTreeView::SetAutoscroll(bool on)
{
    m_autoscroll = on;
    // Every move over the tree counts, not only those with a button held.
    if (on)
        viewport()->setMouseTracking(true);
}

void TSystemTreeView::Compute_TreeMoves(int x, int y)
{
    const auto allowance = [](const QScrollBar *bar) { return bar->minimum() != bar->maximum() ? 16 : 0; };
    const int h = std::abs(fontMetrics().height());
    const int width = viewport()->width();
    const int height = viewport()->height();
    if (y < h)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (y > height - allowance(verticalScrollBar()) - h)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (x < h)
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (x > width - allowance(horizontalScrollBar()) - h)
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
}

void TSystemTreeView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_autoscroll) {
        const QPoint at = event->position().toPoint();
        Compute_TreeMoves(at.x(), at.y());
    }
    TCustomSystemTreeView::mouseMoveEvent(event);
}
