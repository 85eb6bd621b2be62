// What the folder namespace needs to know about one entry without listing
// anything: whether it is there, what it is (links followed), whether it is
// a link, and whether the user may change it.
#pragma once

#include <cstddef>
#include <string>

struct TEntryProbe {
    bool exists = false;  // the entry itself is there (a dangling link is)
    bool isDir = false;   // a folder, or a link to one
    bool isFile = false;  // a regular file, or a link to one
    bool isLink = false;
    bool writable = false; // the user may write it
};

// Looks at `path` (lstat, then stat through a link, then access(W_OK)).
TEntryProbe ProbeEntry(const std::string &path);

enum TSubfolderLook {
    slNone,    // the whole listing has no folder
    slSome,    // a folder was found
    slUnknown, // the folder could not be listed, or the look stopped early
};

// Looks for a subfolder among at most `maxEntries` entries of a folder, so
// that a huge folder is never listed in full to answer. Links to folders
// count as folders; `includeHidden` false skips names beginning with ".".
TSubfolderLook LookForSubfolder(const std::string &folder, std::size_t maxEntries, bool includeHidden = true);
