#include "engine/BlockPairReader.h"

#include "engine/ByteCompare.h"
#include "platform/FileReader.h"

TBlockPairReader::TBlockPairReader() : m_source(NewAlignedBlock()), m_target(NewAlignedBlock()) {}

TBlockPairReader::~TBlockPairReader()
{
    if (m_thread.joinable()) {
        m_quit = true;
        m_go.release();
        m_thread.join();
    }
}

void TBlockPairReader::Serve()
{
    for (;;) {
        m_go.acquire();
        if (m_quit)
            return;
        m_result = m_pending->Read(m_target.get(), std::size_t(kBlockSize));
        m_done.release();
    }
}

void TBlockPairReader::Read(TFileReader &source, TFileReader &target, bool together, std::int64_t &n,
                            std::int64_t &m)
{
    if (!together) {
        n = source.Read(m_source.get(), std::size_t(kBlockSize));
        m = target.Read(m_target.get(), std::size_t(kBlockSize));
        return;
    }
    if (!m_thread.joinable())
        m_thread = std::thread(&TBlockPairReader::Serve, this);
    m_pending = &target;
    m_go.release();
    n = source.Read(m_source.get(), std::size_t(kBlockSize));
    m_done.acquire();
    m = m_result;
}
