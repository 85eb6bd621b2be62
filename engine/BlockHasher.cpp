#include "engine/BlockHasher.h"

#include <cstring>

TBlockHasher::TBlockHasher(TOnDone onDone) : m_onDone(std::move(onDone))
{
    m_thread = std::thread(&TBlockHasher::Serve, this);
}

TBlockHasher::~TBlockHasher()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_work.notify_one();
    m_thread.join();
}

void TBlockHasher::Push(TJob &&job)
{
    {
        std::lock_guard lock(m_mutex);
        if (job.step == TStep::End)
            ++m_ended;
        m_jobs.push_back(std::move(job));
    }
    m_work.notify_one();
}

void TBlockHasher::Begin(TDigestKind kind)
{
    TJob job;
    job.step = TStep::Begin;
    job.kind = kind;
    Push(std::move(job));
}

void TBlockHasher::Hand(TAlignedBlock &block, std::size_t size)
{
    if (size == 0)
        return;
    TJob job;
    job.step = TStep::Block;
    job.size = size;
    if (size <= kCopyUpTo) {
        job.small.assign(block.get(), block.get() + size);
        {
            std::unique_lock lock(m_mutex);
            m_freed.wait(lock, [this] { return m_copiedWaiting < kCopiesWaitingAtMost; });
            m_copiedWaiting += size;
            m_jobs.push_back(std::move(job));
        }
        m_work.notify_one();
        return;
    }
    TAlignedBlock next;
    {
        std::unique_lock lock(m_mutex);
        if (m_spare.empty() && m_blocksMade < kSpareBlocks) {
            ++m_blocksMade;
            lock.unlock();
            next = NewAlignedBlock();
            lock.lock();
        } else {
            m_freed.wait(lock, [this] { return !m_spare.empty(); });
            next = std::move(m_spare.back());
            m_spare.pop_back();
        }
        job.block = std::move(block);
        block = std::move(next);
        m_jobs.push_back(std::move(job));
    }
    m_work.notify_one();
}

void TBlockHasher::End(std::uint64_t tag, bool wanted)
{
    TJob job;
    job.step = TStep::End;
    job.tag = tag;
    job.wanted = wanted;
    Push(std::move(job));
}

void TBlockHasher::Drain()
{
    std::unique_lock lock(m_mutex);
    m_freed.wait(lock, [this] { return m_delivered == m_ended; });
}

void TBlockHasher::Serve()
{
    TDigest digest;
    for (;;) {
        TJob job;
        {
            std::unique_lock lock(m_mutex);
            m_work.wait(lock, [this] { return m_quit || !m_jobs.empty(); });
            if (m_jobs.empty())
                return; // m_quit, and everything handed is done
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        switch (job.step) {
        case TStep::Begin:
            digest.Reset(job.kind);
            break;
        case TStep::Block:
            if (job.block) {
                digest.Update(job.block.get(), job.size);
                {
                    std::lock_guard lock(m_mutex);
                    m_spare.push_back(std::move(job.block));
                }
                m_freed.notify_all();
            } else {
                digest.Update(job.small.data(), job.size);
                {
                    std::lock_guard lock(m_mutex);
                    m_copiedWaiting -= job.size;
                }
                m_freed.notify_all();
            }
            break;
        case TStep::End: {
            TDone done;
            done.tag = job.tag;
            done.wanted = job.wanted;
            // Finishing also starts the digest over: the next Begin() may
            // name another kind.
            std::string hex = digest.FinishHex();
            if (job.wanted)
                done.hex = std::move(hex);
            if (m_onDone)
                m_onDone(std::move(done));
            {
                std::lock_guard lock(m_mutex);
                ++m_delivered;
            }
            m_freed.notify_all();
            break;
        }
        }
    }
}
