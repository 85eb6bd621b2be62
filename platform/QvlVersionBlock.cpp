// The program's version resource. Linked into the executable (not into the
// library), so that a program built without it shows what a file without a
// version resource looks like.
#include "platform/QvlVersionBlock.h"

#include <cstddef>

namespace {

template <std::size_t N>
struct TVersionBlock {
    TVersionFixedInfo fixed;
    char strings[N];
};

template <std::size_t N>
constexpr TVersionBlock<N> MakeVersionBlock(const char (&strings)[N])
{
    TVersionBlock<N> block{};
    for (std::size_t i = 0; i < sizeof kVersionMagic; ++i)
        block.fixed.magic[i] = kVersionMagic[i];
    const std::uint16_t version[4] = {2, 1, 4, 21};
    for (int i = 0; i < 4; ++i) {
        block.fixed.fileVersion[i] = version[i];
        block.fixed.productVersion[i] = version[i];
    }
    block.fixed.fileFlags = 0x2;
    block.fixed.fileOS = 0x4;
    block.fixed.fileType = 0x1;
    for (std::size_t i = 0; i < N; ++i)
        block.strings[i] = strings[i];
    return block;
}

// Keys spelt as the resource spells them; the string literal's own NUL ends
// the last value, the explicit "\0" after it is the empty key that ends the table.
[[gnu::used, gnu::section(".qvl_version")]] constexpr auto kProgramVersion = MakeVersionBlock(
    "040904E4\0"
    "CompanyName\0The Quorvel developers\0"
    "FileDescription\0Verify files by doing a byte by byte compare.\0"
    "FileVersion\0" "2.1.4.21\0"
    "InternalName\0Quorvel New\0"
    "LegalCopyright\0Copyright \xC2\xA9 The Quorvel developers\0"
    "LegalTrademarks\0Quorvel\xC2\xAE\0"
    "OriginalFilename\0Quorvel2\0"
    "ProductName\0Quorvel\0"
    "ProductVersion\0" "2.1\0"
    "Comments\0Questions and news: https://quorvel.org/\0");

} // namespace
