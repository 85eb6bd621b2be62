// What a path names, and how many bytes a file holds. Both are asked by the
// path boxes (to enable Start, to show a file's size) and by the verify worker
// (single-file run or folder run, the length check). Neither raises an error:
// every failure is pkNone or 0. Safe on any thread.
#pragma once

#include <cstdint>
#include <string>

enum TPathKind {
    pkNone = 0,   // empty text, nothing there, or nothing we could examine
    pkFile = 1,   // an existing regular file (or a link to one)
    pkFolder = 2, // an existing folder (or a link to one)
};

// A text with the wildcards '*' or '?' that names no entry itself is taken as
// a pattern: it is a file when its first match (in name order) is a file.
// FIFOs, sockets and device nodes are never files here: opening one could
// hang whoever trusted the answer.
TPathKind GetPathKind(const std::string &path);

// The size of a regular file (links followed); 0 for anything else, for a
// file that is not there, and for one we may not examine.
std::uint64_t FileSizeOf(const std::string &path);
