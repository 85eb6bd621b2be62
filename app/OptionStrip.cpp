#include "app/OptionStrip.h"

#include <algorithm>
#include <vector>

TOptionStrip::TOptionStrip(QWidget *parent)
    : QWidget(parent)
{
}

void TOptionStrip::CaptureDesign(int designWidth)
{
    m_designWidth = designWidth;
    m_design.clear();
    for (QObject *o : children()) {
        auto *w = qobject_cast<QWidget *>(o);
        if (!w || w->isWindow())
            continue;
        QRect r = w->geometry();
        const int wanted = w->sizeHint().width();
        if (wanted > r.width())
            r.adjust(-(wanted - r.width()) / 2, 0, (wanted - r.width() + 1) / 2, 0);
        m_design.insert(w, r);
    }
    PlaceChildren();
}

void TOptionStrip::PlaceChildren()
{
    if (m_designWidth <= 0)
        return;
    struct TPlace {
        QWidget *widget;
        QRect design;
        int left;
    };
    std::vector<TPlace> places;
    for (auto it = m_design.cbegin(); it != m_design.cend(); ++it) {
        const QRect &r = it.value();
        const double centre = (r.left() + r.width() / 2.0) * width() / m_designWidth;
        places.push_back({it.key(), r, int(centre - r.width() / 2.0)});
    }
    std::sort(places.begin(), places.end(),
              [](const TPlace &a, const TPlace &b) { return a.design.left() < b.design.left(); });
    // In a strip narrower than the design the proportional places may
    // overlap: push each control right of its left neighbour, then pull them
    // back inside the right edge, keeping the design's gaps where they fit.
    const int gap = 4;
    for (std::size_t i = 1; i < places.size(); ++i)
        places[i].left = std::max(places[i].left, places[i - 1].left + places[i - 1].design.width() + gap);
    int limit = width();
    for (auto it = places.rbegin(); it != places.rend(); ++it) {
        it->left = std::max(0, std::min(it->left, limit - gap - it->design.width()));
        limit = it->left;
    }
    for (const TPlace &p : places)
        p.widget->setGeometry(p.left, p.design.top(), p.design.width(), p.design.height());
}

void TOptionStrip::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    PlaceChildren();
}
