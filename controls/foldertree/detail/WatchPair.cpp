#include "controls/foldertree/detail/WatchPair.h"

void TWatchPair::Start(QTreeWidgetItem *node, const std::string &path, TFSFilterSet filter,
                       std::function<void(TFileChangeThread *)> onChange)
{
    Stop();
    m_node = node;
    if (!node || path.empty())
        return;
    m_thread = new TFileChangeThread(path, filter, false);
    m_thread->OnTerminate = std::move(onChange);
}

void TWatchPair::Stop()
{
    if (m_thread) {
        m_thread->OnTerminate = nullptr;
        m_thread->Terminate();
        m_thread = nullptr;
    }
    m_node = nullptr;
}

void TWatchPair::StopFor(const QTreeWidgetItem *node)
{
    if (node && node == m_node)
        Stop();
}

bool TWatchPair::TakeReport(TFileChangeThread *sender)
{
    if (!sender || sender != m_thread)
        return false;
    m_thread = nullptr;
    return true;
}
