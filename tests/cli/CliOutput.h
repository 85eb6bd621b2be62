// The program under test and its standard output as lines, for the tests
// that run quorvel-verify as a process.
#pragma once

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace QvlTest {

inline QString VerifierProgram()
{
    return QStringLiteral(QVL_BINARY_DIR "/cli/quorvel-verify");
}

// The lines of `text`, with the "hh:mm:ss " stamps of run-log lines removed.
inline QStringList UnstampedLines(const QByteArray &text)
{
    static const QRegularExpression stamp("^\\d\\d:\\d\\d:\\d\\d ");
    QStringList lines = QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts);
    for (QString &l : lines)
        l.remove(stamp);
    return lines;
}

} // namespace QvlTest
