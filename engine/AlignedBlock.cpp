#include "engine/AlignedBlock.h"

#include "engine/ByteCompare.h"
#include "platform/FileReader.h"

#include <cstdlib>
#include <new>

void TAlignedFree::operator()(char *p) const
{
    std::free(p);
}

TAlignedBlock NewAlignedBlock()
{
    // The block size is a multiple of the alignment, as aligned_alloc wants.
    static_assert(kBlockSize % kDirectAlignment == 0);
    return NewAlignedBlock(std::size_t(kBlockSize));
}

TAlignedBlock NewAlignedBlock(std::size_t size)
{
    void *p = std::aligned_alloc(kDirectAlignment, size);
    if (!p)
        throw std::bad_alloc();
    return TAlignedBlock(static_cast<char *>(p));
}
