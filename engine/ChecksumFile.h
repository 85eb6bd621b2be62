// Checksum files as sha256sum and its siblings write and read them: GNU
// lines ("HASH  PATH", "HASH *PATH" in binary mode), BSD tags ("SHA256
// (PATH) = HASH"), a leading '\' marking a name with "\\", "\n" or "\r"
// escaped, '#' comment lines. The digest's kind is told by the tag or by
// the length of the hash.
#pragma once

#include "platform/Digest.h"

#include <cstddef>
#include <string>
#include <vector>

// One usable line: a relative path below the folder it is checked in.
struct TChecksumEntry {
    TDigestKind kind = TDigestKind::Sha256;
    std::string hash;  // lower-case hex
    std::string path;  // unescaped, any "./" in front removed; never absolute, never ".."
    std::size_t line = 0; // 1-based
};

// A line that could not be used, and why.
struct TChecksumProblem {
    std::size_t line = 0;
    std::string reason;
};

struct TChecksumList {
    std::vector<TChecksumEntry> entries; // in the order of the file
    std::vector<TChecksumProblem> problems;
};

// The GNU line for a file (text mode, as sha256sum writes it), without the
// line end.
std::string ChecksumLine(const std::string &hex, const std::string &path);

// Parses one line (without its line end). True with `entry` filled (its
// `line` left alone) when usable; false with `reason` otherwise, also for a
// line whose path is absolute or climbs out with "..": such a path is never
// to be opened.
bool ParseChecksumLine(const std::string &text, TChecksumEntry &entry, std::string &reason);

// Whether a line is a comment or blank, and so no line to use or complain
// about.
bool IsChecksumComment(const std::string &text);

// Reads a checksum file. False with `error` (why, without the path: "it is
// empty") when it
// is no checksum file at all: it cannot be read, is empty, holds a NUL byte
// (a binary file), a line longer than any checksum line, or no usable line.
// Such a file is given up on early, without reading it to its end.
bool ReadChecksumFile(const std::string &path, TChecksumList &list, std::string &error);

// Where a run records its checksums unless told otherwise: the program's
// data folder ($XDG_DATA_HOME/quorvel/checksums/), named after the Target
// folder (or file) and the date ("Photos-2026-12-09.sha256", then "-2",
// "-3" ... for a name already taken). Never inside the Target.
std::string DefaultChecksumPath(const std::string &targetPath, const std::string &isoDate);
