// What the two run dialogs share: their frame, the rule that keeps their
// buttons at their distance from the bottom edge, room for every text in the
// platform's font, and which button Enter presses.
#pragma once

#include <QList>

class QDialog;
class QLabel;
class QPushButton;
class QWidget;

namespace DialogForms {
// A fixed dialog with only a close box; labels get the 13-pixel font. The
// buttons' designed sizes become their least sizes.
void SetUp(QDialog *dialog, const QList<QLabel *> &labels, const QList<QPushButton *> &buttons);
// Moves the buttons so that their distance from the bottom edge stays
// `bottomGap` pixels.
void KeepAtBottom(QDialog *dialog, const QList<QWidget *> &buttons, int bottomGap);
// Makes each button as large as its text needs (never below its designed
// size); returns the width the two take side by side, as far apart as
// designed.
int FitButtons(QPushButton *left, QPushButton *right);
// Puts the two side by side in the middle of a dialog `width` pixels wide.
void CentreButtons(int width, QPushButton *left, QPushButton *right);
// Makes `button` the default one (Enter presses it) and the one that has the
// focus when the dialog opens. A reused dialog would otherwise open with
// whichever button was pressed the last time.
void OpenWith(QPushButton *button);
}
