#include "platform/IoRing.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <liburing.h>

struct TIoRing::TRing {
    io_uring ring {};
};

TIoRing::TIoRing(unsigned entries)
{
    auto ring = std::make_unique<TRing>();
    // One thread submits and reaps: the kernel need not interrupt it to run
    // completions (newer kernels only; older ones take plain rings).
    io_uring_params params {};
    params.flags = IORING_SETUP_SINGLE_ISSUER | IORING_SETUP_COOP_TASKRUN;
    if (io_uring_queue_init_params(entries, &ring->ring, &params) != 0) {
        params = io_uring_params {};
        if (io_uring_queue_init_params(entries, &ring->ring, &params) != 0)
            return;
    }
    // Kernels before 5.6 lack the operations used here, or reading at the
    // file's position: they would answer each with EINVAL, which must never
    // be taken for a file that is not there.
    io_uring_probe *probe = io_uring_get_probe_ring(&ring->ring);
    const bool able = probe && (params.features & IORING_FEAT_RW_CUR_POS)
        && io_uring_opcode_supported(probe, IORING_OP_OPENAT) && io_uring_opcode_supported(probe, IORING_OP_READ)
        && io_uring_opcode_supported(probe, IORING_OP_CLOSE);
    if (probe)
        io_uring_free_probe(probe);
    if (!able) {
        io_uring_queue_exit(&ring->ring);
        return;
    }
    // A file system that makes opens or reads wait (a cold cache, a slow
    // disk) has the kernel run them on worker threads: a few per ring, not
    // one per operation queued.
    unsigned workers[2] = {2, 2};
    io_uring_register_iowq_max_workers(&ring->ring, workers);
    m_ring = std::move(ring);
}

TIoRing::~TIoRing()
{
    if (m_ring) {
        Run();
        io_uring_queue_exit(&m_ring->ring);
    }
}

namespace {

io_uring_sqe *NextEntry(io_uring &ring, int *result)
{
    io_uring_sqe *sqe = io_uring_get_sqe(&ring);
    if (!sqe) {
        // More queued than the ring was made for: a fault of the caller.
        std::fputs("quorvel: io ring overfilled\n", stderr);
        std::abort();
    }
    *result = -EINPROGRESS;
    io_uring_sqe_set_data(sqe, result);
    return sqe;
}

} // namespace

void TIoRing::OpenAt(int folderFd, const char *name, int flags, int *result)
{
    io_uring_prep_openat(NextEntry(m_ring->ring, result), folderFd, name, flags, 0);
    ++m_queued;
}

void TIoRing::Read(int fd, char *buf, unsigned size, int *result)
{
    // At the file's position, moving it on, as read() does.
    io_uring_prep_read(NextEntry(m_ring->ring, result), fd, buf, size, static_cast<__u64>(-1));
    ++m_queued;
}

void TIoRing::Close(int fd, int *result)
{
    io_uring_prep_close(NextEntry(m_ring->ring, result), fd);
    ++m_queued;
}

void TIoRing::Run()
{
    io_uring &ring = m_ring->ring;
    while (m_queued > 0) {
        // Submits what is not yet submitted, and waits for one to end.
        const int rc = io_uring_submit_and_wait(&ring, 1);
        if (rc < 0 && rc != -EINTR && rc != -EAGAIN && rc != -EBUSY && rc != -ENOMEM) {
            // Only a broken ring fails here. Reads still in flight could
            // write into buffers that are given to other files by now: no
            // comparison may go on after that.
            std::fprintf(stderr, "quorvel: io ring failed: error %d\n", -rc);
            std::abort();
        }
        unsigned head = 0, seen = 0;
        io_uring_cqe *cqe = nullptr;
        io_uring_for_each_cqe(&ring, head, cqe)
        {
            *static_cast<int *>(io_uring_cqe_get_data(cqe)) = cqe->res;
            ++seen;
        }
        io_uring_cq_advance(&ring, seen);
        m_queued -= seen;
    }
}
