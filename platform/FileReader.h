// Reading a file for comparison, and telling whether two paths are one file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

// Who a file is and how it looked: enough to notice that a path now names
// another file, or that the file was written to since.
struct TFileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t mtimeSec = 0;
    std::int64_t mtimeNsec = 0;

    bool SameFileAs(const TFileIdentity &o) const { return device == o.device && inode == o.inode; }
    bool operator==(const TFileIdentity &o) const = default;
};

// The identity of what a path names now (links followed); false when it
// names nothing or not a regular file.
bool IdentityOf(const std::string &path, TFileIdentity &out);

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

    // Opens the file that `IdentityOf` just described as `seen`; 0 or the
    // errno of the failure. The description is trusted for the size (where
    // reading may stop early) and as the identity of what is read; should the
    // path have been replaced in between, a later identity check sees it.
    int Open(const std::string &path, const TFileIdentity &seen);
    // Fills as much of `buf` as the file has left (retrying short reads),
    // stopping early only at the size the file had when it was opened; a
    // file that grew since then yields the rest on the next call. Returns
    // the count (0 at the end), or -1 with Error() set.
    std::int64_t Read(char *buf, std::size_t size);
    // 0 or the errno of the failure; closing twice is harmless.
    int Close();

    const TFileIdentity &Identity() const { return m_identity; }
    int Error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
    std::uint64_t m_position = 0;
    TFileIdentity m_identity;
};

// Text of an errno value, for the run log.
std::string ErrorText(int error);
