// Reading what quorvel-verify wrote, for the tests that run it.
#pragma once

#include <QByteArray>
#include <QList>

namespace QvlTest {

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
