// A strip of controls that keep their distance from the top while their
// centres keep the same share of the strip's width as at design time.
#pragma once

#include <QHash>
#include <QRect>
#include <QWidget>

class TOptionStrip : public QWidget
{
    Q_OBJECT
public:
    explicit TOptionStrip(QWidget *parent = nullptr);

    // Takes the present geometry of every child as its design geometry in a
    // strip `designWidth` pixels wide. A child narrower than it wants to be
    // is widened about its centre first.
    void CaptureDesign(int designWidth);
    // Places the children for the present width.
    void PlaceChildren();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    int m_designWidth = 0;
    QHash<QWidget *, QRect> m_design;
};
