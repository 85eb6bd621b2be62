#include "DialogForms.h"

#include <QDialog>
#include <QLabel>

namespace DialogForms {

void SetUp(QDialog *dialog, const QList<QLabel *> &labels)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowCloseButtonHint);
    dialog->setModal(true);
    for (QLabel *label : labels) {
        QFont f = label->font();
        f.setPixelSize(13);
        label->setFont(f);
    }
}

void KeepAtBottom(QDialog *dialog, const QList<QWidget *> &buttons, int bottomGap)
{
    for (QWidget *b : buttons)
        b->move(b->x(), dialog->height() - bottomGap - b->height());
}

} // namespace DialogForms
