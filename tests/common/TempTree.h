// A temporary folder to build file trees in, removed with the fixture.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "tests/common/RemoveTree.h"

#include <cstdint>
#include <string>

namespace QvlTest {

class TempTree
{
public:
    TempTree() : m_dir(QDir::tempPath() + "/quorvel-tree-XXXXXX") { m_dir.setAutoRemove(false); }
    ~TempTree()
    {
        if (m_dir.isValid())
            RemoveTree(root());
    }

    bool isValid() const { return m_dir.isValid(); }
    // Absolute path of the root, without a trailing slash.
    std::string root() const { return QFile::encodeName(m_dir.path()).toStdString(); }
    std::string path(const std::string &rel) const { return rel.empty() ? root() : root() + "/" + rel; }

    // Creates the folder and all its parents.
    bool createDir(const std::string &rel) const
    {
        return QDir().mkpath(QFile::decodeName(QByteArray::fromStdString(path(rel))));
    }

    // Creates (or replaces) a file with the given contents; parents are created.
    bool createFile(const std::string &rel, const QByteArray &data = {}) const
    {
        const std::string full = path(rel);
        const auto slash = full.rfind('/');
        QDir().mkpath(QFile::decodeName(QByteArray::fromStdString(full.substr(0, slash))));
        QFile f(QFile::decodeName(QByteArray::fromStdString(full)));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        return f.write(data) == data.size();
    }

    // Creates a file of `size` bytes that takes (almost) no room: all zeros
    // but for an optional `mark` byte at `markAt`.
    bool createSparse(const std::string &rel, std::uint64_t size, std::uint64_t markAt = 0, char mark = 0) const
    {
        if (!createFile(rel))
            return false;
        QFile f(QFile::decodeName(QByteArray::fromStdString(path(rel))));
        if (!f.open(QIODevice::ReadWrite) || !f.resize(qint64(size)))
            return false;
        if (mark && (!f.seek(qint64(markAt)) || f.write(&mark, 1) != 1))
            return false;
        return true;
    }

private:
    QTemporaryDir m_dir;
};

} // namespace QvlTest
