#include "app/DialogForms.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace DialogForms {

void SetUp(QDialog *dialog, const QList<QLabel *> &labels, const QList<QPushButton *> &buttons)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowCloseButtonHint);
    dialog->setModal(true);
    for (QLabel *label : labels) {
        QFont f = label->font();
        f.setPixelSize(13);
        label->setFont(f);
    }
    for (QPushButton *button : buttons)
        button->setMinimumSize(button->size());
}

void KeepAtBottom(QDialog *dialog, const QList<QWidget *> &buttons, int bottomGap)
{
    for (QWidget *b : buttons)
        b->move(b->x(), dialog->height() - bottomGap - b->height());
}

namespace {
// Both dialogs place their buttons this far apart.
constexpr int kButtonGap = 10;
}

int FitButtons(QPushButton *left, QPushButton *right)
{
    for (QPushButton *b : {left, right})
        b->resize(b->minimumSize().expandedTo(b->sizeHint()));
    return left->width() + kButtonGap + right->width();
}

void CentreButtons(int width, QPushButton *left, QPushButton *right)
{
    const int x = (width - (left->width() + kButtonGap + right->width())) / 2;
    left->move(x, left->y());
    right->move(x + left->width() + kButtonGap, right->y());
}

void OpenWith(QPushButton *button)
{
    button->setDefault(true);
    button->setFocus(Qt::OtherFocusReason);
}

} // namespace DialogForms
