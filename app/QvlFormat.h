// Numbers as the window shows them: whole numbers with the thousands
// separator of the user's locale ("#,0"), whatever the locale's own habit of
// grouping.
#pragma once

#include <QString>

QString FormatThousands(qint64 value);

// Text with leading and trailing blanks and control characters removed.
QString TrimBlanks(const QString &text);
