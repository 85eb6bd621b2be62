// Many system calls handed to the kernel at once (io_uring): the opens,
// reads and closes of a run of small files cost one call into the kernel
// each, not one per file. Where the kernel refuses rings (too old, turned
// off, or filtered in a container) Usable() is false, and the caller makes
// the calls one by one.
#pragma once

#include <memory>

class TIoRing
{
public:
    // Room for `entries` operations queued at once.
    explicit TIoRing(unsigned entries);
    ~TIoRing();
    TIoRing(const TIoRing &) = delete;
    TIoRing &operator=(const TIoRing &) = delete;

    bool Usable() const { return m_ring != nullptr; }
    // Operations queued until Run(). Each one's result lands in `*result`
    // once it ran: a descriptor or a byte count, or -errno. At most
    // `entries` may be queued before Run().
    void OpenAt(int folderFd, const char *name, int flags, int *result);
    // Reads at the file's position and moves it on, as read() does.
    void Read(int fd, char *buf, unsigned size, int *result);
    void Close(int fd, int *result);
    // Hands what is queued to the kernel and waits until all of it ran.
    void Run();

private:
    struct TRing;
    std::unique_ptr<TRing> m_ring;
    unsigned m_queued = 0;
};
