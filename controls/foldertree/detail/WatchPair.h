// A tree node and the one-shot watcher of its folder. The watcher deletes
// itself once it reported or gave up; the pair then forgets it by itself.
// Stopping drops a report that is already on its way.
#pragma once

#include "controls/foldertree/FileChange.h"

#include <QPointer>

#include <functional>
#include <string>

class QTreeWidgetItem;

class TWatchPair
{
public:
    TWatchPair() = default;
    TWatchPair(const TWatchPair &) = delete;
    TWatchPair &operator=(const TWatchPair &) = delete;
    ~TWatchPair() { Stop(); }

    QTreeWidgetItem *Node() const { return m_node; }
    TFileChangeThread *Thread() const { return m_thread.data(); }

    // Stops what ran before and remembers `node`; watches `path` for the
    // changes of `filter` unless the path is empty. `onChange` runs on the
    // window thread when the watcher saw a change.
    void Start(QTreeWidgetItem *node, const std::string &path, TFSFilterSet filter,
               std::function<void(TFileChangeThread *)> onChange);
    // Ends the watcher without a report and forgets the node.
    void Stop();
    // Stops the pair when it watches for `node` (a node that is going).
    void StopFor(const QTreeWidgetItem *node);
    // True when `sender` is this pair's watcher reporting; the pair then
    // forgets the watcher (it is done) and keeps the node.
    bool TakeReport(TFileChangeThread *sender);

private:
    QPointer<TFileChangeThread> m_thread;
    QTreeWidgetItem *m_node = nullptr;
};
