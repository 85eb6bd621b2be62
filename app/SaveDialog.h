// The one save dialog of the window: every "Save ... As" asks through it, so
// each proposes a name, starts where the last save went and adds the
// extension of the chosen filter the same way.
#pragma once

#include <QDate>
#include <QString>

class QWidget;

// "quorvel-KIND-TARGETNAME-YYYY-MM-DD.EXT": TARGETNAME is the last part of
// `targetPath` (a file's or a folder's name), with anything a file name
// cannot hold or a shell would trip over made "_".
QString ProposedSaveName(const QString &kind, const QString &targetPath, const QDate &date, const QString &extension);

// Shows a modal save dialog over `parent`: `proposedName` in the folder last
// saved to through it (else the home folder); a name typed without an
// extension gets that of the chosen filter ("CSV files (*.csv)" adds ".csv";
// "All files (*)" adds none); an existing file is replaced only after a
// question. The chosen file, or empty when the dialog was cancelled.
QString AskSaveFile(QWidget *parent, const QString &caption, const QString &filter, const QString &proposedName);

// The folder the next dialog starts in.
QString LastSaveFolder();
void SetLastSaveFolder(const QString &folder);
