// A block buffer of kBlockSize bytes, aligned for direct reads. The
// comparison reads into them, and a block of proven bytes can change hands
// (to the hashing thread) without being copied.
#pragma once

#include <cstddef>
#include <memory>

struct TAlignedFree {
    void operator()(char *p) const;
};
using TAlignedBlock = std::unique_ptr<char, TAlignedFree>;

// Throws std::bad_alloc when there is no memory for one.
TAlignedBlock NewAlignedBlock();
// A smaller one: `size` is a multiple of kDirectAlignment.
TAlignedBlock NewAlignedBlock(std::size_t size);
