// A splitter that keeps the share of its first pane, in whole percent (its
// Tag), when it is resized, and takes a new share when the user drags it.
// The share is measured against the extent of a reference pane less a fixed
// deduction (the strips and bars that are not part of the split), so the
// window's resize rules read as they were designed.
#pragma once

#include <QSplitter>

// The share of `part` in `whole` as a whole percent, rounded half up after
// the ratio has been taken to single precision (33.4% -> 33, 33.5% -> 34).
int SplitPercent(int part, int whole);

class TRatioSplitter : public QSplitter
{
    Q_OBJECT
public:
    explicit TRatioSplitter(QWidget *parent = nullptr);
    TRatioSplitter(Qt::Orientation orientation, QWidget *parent = nullptr);

    int Tag() const { return m_tag; }
    void SetTag(int percent) { m_tag = percent; }

    // The pane whose width (horizontal) or height (vertical) less `deduct`
    // is the whole that the share is taken of; by default the splitter.
    void SetRatioBase(QWidget *pane, int deduct);

    // First pane = truncated((extent - deduct) * Tag * 0.01); the second
    // takes the rest. Run on every resize.
    void ApplyRatio();
    // Tag = SplitPercent(first pane, extent - deduct). Run when dragged.
    void StoreRatio();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    int BaseExtent() const;

    int m_tag = 50;
    QWidget *m_ratioPane = nullptr;
    int m_deduct = 0;
};
