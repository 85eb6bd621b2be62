#include "engine/PairOpener.h"

TPairOpener::TPairOpener(const std::vector<std::string> &sources, TTargetOf targetOf, bool fromDisk)
    : m_sources(sources), m_targetOf(std::move(targetOf)), m_fromDisk(fromDisk)
{
    if (!m_sources.empty())
        m_thread = std::thread(&TPairOpener::Serve, this);
}

TPairOpener::~TPairOpener()
{
    if (!m_thread.joinable())
        return;
    m_quit.store(true);
    m_done.fetch_add(kAhead); // wakes an opener waiting for room
    m_done.notify_one();
    m_thread.join();
}

void TPairOpener::Serve()
{
    for (std::size_t i = 0; i < m_sources.size(); ++i) {
        std::size_t done = m_done.load();
        if (i - done >= kAhead) {
            m_openerWaits.store(true);
            while (!m_quit.load() && i - (done = m_done.load()) > kAhead / 2)
                m_done.wait(done);
            m_openerWaits.store(false);
        }
        if (m_quit.load())
            return;
        const std::string &source = m_sources[i];
        OpenPair(source, m_targetOf(source), m_fromDisk, m_slots[i % kAhead]);
        m_opened.store(i + 1);
        if (m_workerWaits.load())
            m_opened.notify_one();
    }
}

TPairOpening &TPairOpener::Take(std::size_t index)
{
    std::size_t opened = m_opened.load();
    if (opened <= index) {
        m_workerWaits.store(true);
        while ((opened = m_opened.load()) <= index)
            m_opened.wait(opened);
        m_workerWaits.store(false);
    }
    return m_slots[index % kAhead];
}

void TPairOpener::Done(std::size_t index)
{
    m_done.store(index + 1);
    if (m_openerWaits.load() && m_opened.load() - (index + 1) <= kAhead / 2)
        m_done.notify_one();
}
