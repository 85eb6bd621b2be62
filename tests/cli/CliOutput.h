// Reading what quorvel-verify wrote, for the tests that run it as a process.
#pragma once

#include <QByteArray>
#include <QList>
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

// The lines of `text` that contain `part`, in order.
inline QList<QByteArray> LinesWith(const QByteArray &text, const QByteArray &part)
{
    QList<QByteArray> out;
    for (const QByteArray &line : text.split('\n'))
        if (line.contains(part))
            out << line;
    return out;
}

} // namespace QvlTest
