// Small helpers the folder tree tests share.
#pragma once

#include "controls/foldertree/FileChange.h"

#include <QFile>
#include <QtTest/QtTest>
#include <QStringList>
#include <QTreeWidgetItem>

#include <string>

#include <sys/stat.h>

namespace QvlTest {

// Whether the entry itself is there (a link is, wherever it points).
inline bool Exists(const std::string &path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

inline QString Q(const std::string &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// Selects `path` and ends the test unless the tree selected exactly that
// path, so that nothing after it touches a node that is not there.
#define QVL_SELECT(tree, path)                        \
    do {                                              \
        const std::string qvlWanted = (path);         \
        (tree).SetSelection(qvlWanted);               \
        QCOMPARE((tree).GetSelection(), qvlWanted);   \
    } while (false)

inline QStringList ChildTexts(QTreeWidgetItem *node)
{
    QStringList texts;
    for (int i = 0; node && i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
}

inline QTreeWidgetItem *ChildNamed(QTreeWidgetItem *node, const QString &text)
{
    for (int i = 0; node && i < node->childCount(); ++i)
        if (node->child(i)->text(0) == text)
            return node->child(i);
    return nullptr;
}

// A watcher that counts its reports in `reports`.
inline TFileChangeThread *CountingWatcher(const std::string &path, TFSFilterSet filter, int &reports,
                                          bool subTree = false)
{
    auto *watcher = new TFileChangeThread(path, filter, subTree);
    watcher->OnTerminate = [&reports](TFileChangeThread *) { ++reports; };
    return watcher;
}

} // namespace QvlTest
