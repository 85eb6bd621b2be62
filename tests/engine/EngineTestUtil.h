// Shared pieces of the engine tests: building a request and running a worker
// on the test's own thread.
#pragma once

#include "engine/InfoThread.h"
#include "platform/PathKind.h"
#include "tests/engine/RecordingWindow.h"

#include <QFile>
#include <QtTest/QtTest>

#include <algorithm>
#include <string>

namespace EngineTest {

inline VerifyRequest Request(const std::string &source, const std::string &target,
                             DeleteMode mode = DeleteMode::None, const std::string &masks = "*.*")
{
    VerifyRequest r;
    r.sourcePath = source;
    r.targetPath = target;
    r.singleFile = GetPathKind(source) == pkFile;
    r.maskText = masks;
    r.deleteMode = mode;
    return r;
}

// Runs one worker to its end on this thread; the window keeps the record.
inline void RunOnce(RecordingWindow &win)
{
    TInfoThread worker(&win);
    worker.Execute();
}

inline bool Contains(const std::vector<std::string> &lines, const std::string &line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

inline std::vector<std::string> Sorted(std::vector<std::string> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

inline bool Exists(const std::string &path)
{
    return QFile::exists(QFile::decodeName(QByteArray::fromStdString(path)));
}

inline QByteArray Pattern(qsizetype size, char seed = 'a')
{
    QByteArray b(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        b[i] = char(seed + (i * 7 + i / 251) % 26);
    return b;
}

} // namespace EngineTest
