// What the two run dialogs share: their frame and the rule that keeps their
// buttons at their distance from the bottom edge.
#pragma once

#include <QList>

class QDialog;
class QLabel;
class QWidget;

namespace DialogForms {
// A fixed dialog with only a close box; labels get the 13-pixel font.
void SetUp(QDialog *dialog, const QList<QLabel *> &labels);
// Moves the buttons so that their distance from the bottom edge stays
// `bottomGap` pixels.
void KeepAtBottom(QDialog *dialog, const QList<QWidget *> &buttons, int bottomGap);
}
