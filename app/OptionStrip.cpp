#include "OptionStrip.h"

#include <algorithm>

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
    for (auto it = m_design.cbegin(); it != m_design.cend(); ++it) {
        const QRect &r = it.value();
        const double centre = (r.left() + r.width() / 2.0) * width() / m_designWidth;
        const int left = int(centre - r.width() / 2.0);
        it.key()->setGeometry(left, r.top(), r.width(), r.height());
    }
}

void TOptionStrip::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    PlaceChildren();
}
