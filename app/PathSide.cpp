#include "app/PathSide.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QToolTip>

namespace {

// The height the history lists give every entry.
constexpr int kHistoryItemHeight = 13;

} // namespace

TPathSide::TPathSide(QLineEdit *edit, QListWidget *history, TSystemTreeView *tree, TFileListBoxEx *fileList)
    : Edit(edit), History(history), Tree(tree), FileList(fileList)
{
}

void TPathSide::SetUpHistory()
{
    QFont f = History->font();
    f.setPixelSize(kHistoryItemHeight - 2);
    History->setFont(f);
    History->setUniformItemSizes(true);
    History->setFrameShape(QFrame::NoFrame);
    History->setAutoFillBackground(true);
    QPalette tip = History->palette();
    tip.setColor(QPalette::Base, QToolTip::palette().color(QPalette::ToolTipBase));
    tip.setColor(QPalette::Text, QToolTip::palette().color(QPalette::ToolTipText));
    History->setPalette(tip);
    History->resize(History->width(), kHistoryItemHeight + 2);
    History->hide();
}

void TPathSide::ShowHistory()
{
    if (History->count() == 0)
        return;
    History->clearSelection();
    History->setCurrentItem(nullptr);
    PlaceHistory();
    History->show();
    History->raise();
}

void TPathSide::ToggleHistory()
{
    if (History->count() == 0)
        return;
    PlaceHistory();
    History->setVisible(!History->isVisible());
    History->raise();
}

void TPathSide::PlaceHistory()
{
    QWidget *pane = History->parentWidget();
    const QPoint topLeft = Edit->mapTo(pane, QPoint(0, Edit->height()));
    History->setGeometry(topLeft.x(), topLeft.y(), Edit->width(), History->height());
}

void TPathSide::AddToHistory()
{
    const QString text = Edit->text();
    for (int i = History->count() - 1; i >= 0; --i)
        if (History->item(i)->text() == text)
            delete History->takeItem(i);
    auto *item = new QListWidgetItem(text);
    item->setSizeHint(QSize(-1, kHistoryItemHeight));
    History->insertItem(0, item);
    if (History->height() < 4 * kHistoryItemHeight + 8)
        History->resize(History->width(), History->count() * (kHistoryItemHeight + 2));
}

bool TPathSide::KeyDownToHistory(const QKeyEvent *key)
{
    if (key->key() != Qt::Key_Down || !History->isVisible() || History->count() == 0)
        return false;
    History->setCurrentRow(0);
    History->setFocus(Qt::OtherFocusReason);
    return true;
}
