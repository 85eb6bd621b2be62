// Reading a file for comparison, and telling whether two paths are one file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

#include "platform/FileIdentity.h"

class TFolderHandle;

// Direct reads go to and from buffers aligned to this, in multiples of it.
constexpr std::size_t kDirectAlignment = 4096;

// A regular file opened for reading. Opening never blocks and never takes
// anything but a regular file (a FIFO or a device node at the path is an
// error), so a comparison cannot hang on one.
class TFileReader
{
public:
    TFileReader() = default;
    ~TFileReader();
    TFileReader(const TFileReader &) = delete;
    TFileReader &operator=(const TFileReader &) = delete;

    // Opens the file at `path`; 0 or the errno of the failure (EINVAL when
    // the path names something other than a regular file). Identity() is
    // then what the open descriptor says, so it describes exactly the bytes
    // that will be read, whatever the path names by now.
    //
    // With `fromDisk`, every byte read comes from the storage device, not
    // from the page cache: the file is read with O_DIRECT (the kernel first
    // writes back what is still dirty), or, where the file system refuses
    // that, its dirty pages are written back and its cached pages dropped
    // before reading; should writing them back fail, the file is not opened
    // (or, falling back during a read, the read fails) with that errno, as
    // any read error. Direct reads need buffers aligned to kDirectAlignment
    // and sizes that are multiples of it (but for the end of the file).
    // FromMemory() tells when no such promise can be kept: the file system
    // keeps its files in memory and has no disk. Closing drops the file's
    // pages again, so that a verify does not crowd out the user's cache.
    int Open(const std::string &path, bool fromDisk = false);
    // The same for the file `relative` below the open folder `base`, never
    // leaving it (see TFolderHandle::OpenFileBelow): a path that would lead
    // outside gives EXDEV or ELOOP and opens nothing.
    int OpenBelow(const TFolderHandle &base, const std::string &relative, bool fromDisk = false);
    // The same for the entry `name` (no '/') of the folder open as
    // `folderFd`: the folder's path is not looked up again for each file.
    int OpenAt(int folderFd, const char *name, bool fromDisk = false);
    // The same for a file opened elsewhere with OpenFlags() (many at once,
    // see TIoRing): `opened` is the descriptor, or -errno. The reader owns
    // the descriptor from here on, and looks at what it opened as OpenAt()
    // does. Never reads from the disk.
    int Adopt(int opened);
    static int OpenFlags();
    // The file system holds its files in memory only (tmpfs, ramfs).
    bool FromMemory() const { return m_fromMemory; }
    // Fills as much of `buf` as the file has left (retrying short reads),
    // stopping early only at the size the file had when it was opened; a
    // file that grew since then yields the rest on the next call. Returns
    // the count (0 at the end), or -1 with Error() set.
    std::int64_t Read(char *buf, std::size_t size);
    // The same, where the first read into `buf` was made elsewhere and gave
    // `first` (a count, or -errno).
    std::int64_t ReadAfter(char *buf, std::size_t size, std::int64_t first);
    // 0 or the errno of the failure; closing twice is harmless. Identity()
    // stays what it was.
    int Close();
    // For a file read to its end: looks at once whether it is unchanged,
    // then closes it. Unchanged() and the next Close() give what was found
    // then, as they would have given right after the last read; the bytes
    // already read are all the file will ever be asked for.
    void CloseAfterLastRead();
    // The same, but the descriptor is given back to be closed elsewhere
    // (-1 when there is none); ClosedElsewhere() then takes what closing it
    // gave (0 or -errno).
    int DetachAfterLastRead();
    void ClosedElsewhere(int result);
    // Closes the file and forgets it, identity included.
    void Reset();

    // The identity taken when the file was opened.
    const TFileIdentity &Identity() const { return m_identity; }
    // Whether the open file still has that identity: same size, same times.
    // A file written to, truncated or touched while it was read has not.
    bool Unchanged() const;
    // More bytes were read than the file had when it was opened: it grew
    // meanwhile, or it is one whose size says nothing of its contents (the
    // files of /proc give their bytes with a size of 0).
    bool ReadPastSize() const { return m_position > m_identity.size; }
    // Read up to the size it had when opened, on a file system whose sizes
    // are those of the contents (a disk's, or memory's): the read that
    // would find nothing more is not needed, since a file that grew has
    // another identity now and Unchanged() tells. Elsewhere (a network or
    // user-space file system, whose sizes may be stale) only that read can
    // tell the end.
    bool AtEnd() const { return m_sizesExact && m_position == m_identity.size; }
    int Error() const { return m_error; }
    // The open descriptor (-1 when closed), to read more of the same file.
    int Descriptor() const { return m_fd; }

private:
    template <typename OpenWith>
    int OpenWithFlags(OpenWith open, bool fromDisk);
    int ReadOnce(char *buf, std::size_t size, ssize_t &n);
    std::int64_t ReadFrom(char *buf, std::size_t size, const std::int64_t *first);

    int m_fd = -1;
    int m_error = 0;
    bool m_direct = false;     // reading with O_DIRECT
    bool m_dropPages = false;  // drop the file's cached pages when closing
    bool m_fromMemory = false;
    bool m_sizesExact = false; // see AtEnd()
    // Closed by CloseAfterLastRead(), with what it found.
    bool m_closedAfterRead = false;
    bool m_unchangedAtClose = false;
    int m_closeError = 0;
    std::uint64_t m_position = 0;
    TFileIdentity m_identity;
};

// Text of an errno value, for the run log.
std::string ErrorText(int error);
