// Lists one folder, entry by entry, in the order the file system returns
// them ("." and ".." included, as every listing has them). The kind of an
// entry follows a symbolic link, so a link to a file is a file; isLink tells
// that it is one. Nothing here opens an entry.
#pragma once

#include <cstdint>
#include <string>

#include <dirent.h>

enum class TEntryKind {
    Directory, // a folder, or a link to one
    File,      // a regular file, or a link to one
    Other,     // FIFO, socket, device node, dangling link: never to be opened
};

// What an entry of kind Other is.
enum class TOtherKind {
    None,         // the entry is a folder or a file
    DanglingLink, // a link whose target does not exist
    LinkLoop,     // a link that leads back into itself
    Fifo,
    Device,       // a character or block device node
    Socket,
    Unknown,      // vanished while listed, or cannot be looked at
};

struct TDirEntry {
    std::string name;       // bytes as the file system holds them
    TEntryKind kind = TEntryKind::Other;
    TOtherKind other = TOtherKind::None; // for kind Other: what it is
    bool isLink = false;
    std::uint64_t size = 0; // only for files, and only when asked for
};

class TDirReader
{
public:
    // Opens the folder; OpenError() tells whether that worked.
    explicit TDirReader(const std::string &folder);
    ~TDirReader();
    TDirReader(const TDirReader &) = delete;
    TDirReader &operator=(const TDirReader &) = delete;

    // 0 when the folder is open, otherwise the errno of the failure.
    int OpenError() const { return m_openError; }

    // The next entry. False at the end of the listing or on an error;
    // Error() is then 0 at the end, otherwise the errno.
    bool Next(TDirEntry &entry, bool wantSize = true);
    int Error() const { return m_error; }

    // The size of the entry `name` of this folder, the entry itself (not
    // what a link leads to); false when it cannot be looked at. For entries
    // listed without their sizes; safe from any thread while the reader is
    // open.
    bool SizeOf(const std::string &name, std::uint64_t &size) const;

private:
    DIR *m_dir = nullptr;
    int m_openError = 0;
    int m_error = 0;
};

// True for names the desktop hides: those that begin with ".", but not the
// "." and ".." entries themselves.
bool IsHiddenName(const std::string &name);
