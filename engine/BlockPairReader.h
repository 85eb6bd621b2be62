// The block buffers of the comparison and the way the two files of a pair
// are read into them: one after the other, or both at once, the Target on a
// thread of its own, so that two drives work in parallel.
#pragma once

#include "engine/AlignedBlock.h"

#include <cstdint>
#include <memory>
#include <semaphore>
#include <thread>

class TFileReader;

class TBlockPairReader
{
public:
    TBlockPairReader();
    ~TBlockPairReader();
    TBlockPairReader(const TBlockPairReader &) = delete;
    TBlockPairReader &operator=(const TBlockPairReader &) = delete;

    // kBlockSize bytes each, aligned for direct reads.
    char *SourceBlock() const { return m_source.get(); }
    char *TargetBlock() const { return m_target.get(); }
    // The Source's buffer itself, for handing its bytes on without a copy:
    // whoever takes it leaves another block of the same kind in its place.
    // Only between two reads.
    TAlignedBlock &SourceHolder() { return m_source; }

    // Reads the next block of both files into the two buffers; `n` and `m`
    // get TFileReader::Read()'s results. With `together`, the Target's block
    // is read on the second thread while the Source's is read on this one;
    // either way both reads are over when this returns.
    void Read(TFileReader &source, TFileReader &target, bool together, std::int64_t &n, std::int64_t &m);

private:
    void Serve();

    TAlignedBlock m_source, m_target;
    // The second thread, started with the first read that wants it. It
    // reads only when handed a read, so a worker held at its polling point
    // holds it too.
    std::thread m_thread;
    std::binary_semaphore m_go {0}, m_done {0};
    bool m_quit = false;           // written before m_go is released
    TFileReader *m_pending = nullptr;
    std::int64_t m_result = 0;     // read after m_done is acquired
};
