#include "app/RatioSplitter.h"

#include <algorithm>

int SplitPercent(int part, int whole)
{
    if (whole <= 0)
        return 0;
    const float ratio = float(double(part) / double(whole));
    return int((double(ratio) + 0.005) * 100);
}

TRatioSplitter::TRatioSplitter(QWidget *parent)
    : TRatioSplitter(Qt::Horizontal, parent)
{
}

TRatioSplitter::TRatioSplitter(Qt::Orientation orientation, QWidget *parent)
    : QSplitter(orientation, parent)
{
    setChildrenCollapsible(false);
    setOpaqueResize(true);
    connect(this, &QSplitter::splitterMoved, this, [this] { StoreRatio(); });
}

void TRatioSplitter::SetRatioBase(QWidget *pane, int deduct)
{
    m_ratioPane = pane;
    m_deduct = deduct;
}

int TRatioSplitter::BaseExtent() const
{
    const QWidget *pane = m_ratioPane ? m_ratioPane : this;
    const int extent = orientation() == Qt::Horizontal ? pane->width() : pane->height();
    return extent - m_deduct;
}

void TRatioSplitter::ApplyRatio()
{
    if (count() < 2)
        return;
    const QList<int> now = sizes();
    int total = 0;
    for (int s : now)
        total += s;
    if (total <= 0)
        return;
    int first = int(double(BaseExtent()) * m_tag * 0.01);
    const auto minOf = [this](int i) {
        const QWidget *w = widget(i);
        return orientation() == Qt::Horizontal ? w->minimumWidth() : w->minimumHeight();
    };
    first = std::clamp(first, minOf(0), std::max(minOf(0), total - minOf(1)));
    setSizes({first, total - first});
}

void TRatioSplitter::StoreRatio()
{
    if (count() < 2)
        return;
    m_tag = SplitPercent(sizes().value(0), BaseExtent());
}

void TRatioSplitter::resizeEvent(QResizeEvent *event)
{
    QSplitter::resizeEvent(event);
    ApplyRatio();
}
