#include "app/QvlPictures.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace {

const QColor kTile(0x1F, 0x5F, 0xA8);
const QColor kSheet(0xF4, 0xF7, 0xFB);
const QColor kCheck(0x2E, 0xA0, 0x43);

void PaintSheet(QPainter &p, const QRectF &r)
{
    const qreal fold = r.width() * 0.3;
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(QPen(kTile.darker(140), r.width() * 0.06));
    p.setBrush(kSheet);
    p.drawPath(path);
}

QPixmap Canvas(int w, int h)
{
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    return pm;
}

} // namespace

QPixmap QuorvelLogoPixmap(int size)
{
    QPixmap pm = Canvas(size, size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(kTile);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    PaintSheet(p, QRectF(12, 10, 26, 34));
    PaintSheet(p, QRectF(26, 20, 26, 34));
    QPen check(kCheck, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(check);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(31, 38), QPointF(37, 45), QPointF(48, 30)}));
    return pm;
}

QPixmap QuorvelWordmarkPixmap(int width, int height)
{
    QPixmap pm = Canvas(width, height);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QFont f;
    f.setBold(true);
    f.setPixelSize(height * 3 / 4);
    p.setFont(f);
    p.setPen(kTile);
    p.drawText(QRect(0, 0, width, height), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Quorvel"));
    return pm;
}

QIcon GlyphIcon(TGlyph glyph)
{
    const int s = 32;
    QPixmap pm = Canvas(s, s);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(0x30, 0x30, 0x30), 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    switch (glyph) {
    case TGlyph::Exit: // a door with an arrow leaving it
        p.drawRect(QRectF(5, 4, 14, 24));
        pen.setColor(QColor(0xC0, 0x30, 0x30));
        p.setPen(pen);
        p.drawLine(QPointF(12, 16), QPointF(28, 16));
        p.drawPolyline(QPolygonF({QPointF(23, 11), QPointF(28, 16), QPointF(23, 21)}));
        break;
    case TGlyph::Sync: // two arrows chasing each other
        pen.setColor(kTile);
        p.setPen(pen);
        p.drawArc(QRectF(6, 6, 20, 20), 30 * 16, 150 * 16);
        p.drawArc(QRectF(6, 6, 20, 20), 210 * 16, 150 * 16);
        p.drawPolyline(QPolygonF({QPointF(4, 11), QPointF(7, 16), QPointF(11, 12)}));
        p.drawPolyline(QPolygonF({QPointF(28, 21), QPointF(25, 16), QPointF(21, 20)}));
        break;
    case TGlyph::About:
    case TGlyph::Help:
        p.setBrush(kTile);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(3, 3, 26, 26));
        p.setPen(Qt::white);
        {
            QFont f;
            f.setBold(true);
            f.setPixelSize(20);
            p.setFont(f);
        }
        p.drawText(QRect(3, 3, 26, 26), Qt::AlignCenter,
                   glyph == TGlyph::About ? QStringLiteral("i") : QStringLiteral("?"));
        break;
    case TGlyph::Start:
        p.setPen(Qt::NoPen);
        p.setBrush(kCheck);
        p.drawPolygon(QPolygonF({QPointF(8, 4), QPointF(28, 16), QPointF(8, 28)}));
        break;
    case TGlyph::Return:
        pen.setColor(kTile);
        p.setPen(pen);
        p.drawLine(QPointF(5, 16), QPointF(27, 16));
        p.drawPolyline(QPolygonF({QPointF(13, 8), QPointF(5, 16), QPointF(13, 24)}));
        break;
    case TGlyph::Cancel:
        pen.setColor(QColor(0xC0, 0x30, 0x30));
        pen.setWidthF(4);
        p.setPen(pen);
        p.drawLine(QPointF(7, 7), QPointF(25, 25));
        p.drawLine(QPointF(25, 7), QPointF(7, 25));
        break;
    }
    p.end();
    return QIcon(pm);
}
