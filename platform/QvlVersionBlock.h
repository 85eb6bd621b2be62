// The layout of the version block that every Quorvel program carries in its
// ELF section ".qvl_version". The block is the program's version resource:
// a fixed part, then one string table ("040904E4", US English) of key/value
// pairs, each NUL-terminated, ended by an empty key.
#pragma once

#include <cstdint>

inline constexpr char kVersionSectionName[] = ".qvl_version";
inline constexpr char kVersionMagic[8] = {'Q', 'V', 'L', 'V', 'E', 'R', '1', '\0'};

struct TVersionFixedInfo {
    char magic[8];
    std::uint16_t fileVersion[4];    // major, minor, release, build
    std::uint16_t productVersion[4];
    std::uint32_t fileFlags;         // 0x2: pre-release
    std::uint32_t fileOS;            // 0x4: the value the resource has always carried
    std::uint32_t fileType;          // 0x1: application
};
