// Files opened, read and closed many at once: each operation's result is
// its own, whatever else was queued with it, and a file opened that way is
// looked at, read and closed by its reader exactly as one it opened itself.
#include "platform/FileReader.h"
#include "platform/IoRing.h"

#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using QvlTest::TempTree;

namespace {

struct TFolder {
    int fd;
    explicit TFolder(const std::string &path) : fd(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {}
    ~TFolder() { ::close(fd); }
};

} // namespace

class IoRingTest : public QObject
{
    Q_OBJECT

private slots:
    void resultsAreEachOperationsOwn()
    {
        TIoRing ring(8);
        if (!ring.Usable())
            QSKIP("this kernel gives no io_uring");
        TempTree t;
        QVERIFY(t.createFile("a", "alpha"));
        QVERIFY(t.createFile("b", "bravo!"));
        TFolder folder(t.root());
        int opened[3] = {};
        ring.OpenAt(folder.fd, "a", TFileReader::OpenFlags(), &opened[0]);
        ring.OpenAt(folder.fd, "missing", TFileReader::OpenFlags(), &opened[1]);
        ring.OpenAt(folder.fd, "b", TFileReader::OpenFlags(), &opened[2]);
        ring.Run();
        QVERIFY(opened[0] >= 0);
        QCOMPARE(opened[1], -ENOENT);
        QVERIFY(opened[2] >= 0);

        char bufA[16] {}, bufB[16] {};
        int read[2] = {}, closed[2] = {};
        ring.Read(opened[0], bufA, sizeof bufA, &read[0]);
        ring.Read(opened[2], bufB, sizeof bufB, &read[1]);
        ring.Run();
        QCOMPARE(read[0], 5);
        QCOMPARE(read[1], 6);
        QCOMPARE(std::string(bufA), std::string("alpha"));
        QCOMPARE(std::string(bufB), std::string("bravo!"));
        // A read moves the file's position on, as read() does.
        QCOMPARE(::read(opened[0], bufA, sizeof bufA), ssize_t(0));

        ring.Close(opened[0], &closed[0]);
        ring.Close(opened[2], &closed[1]);
        ring.Run();
        QCOMPARE(closed[0], 0);
        QCOMPARE(closed[1], 0);
        QCOMPARE(::fcntl(opened[0], F_GETFD), -1);
    }

    // A reader given a file opened elsewhere takes only a regular file, as
    // Open() does; the first read made elsewhere counts as its own (one
    // that would have waited is made again); a file closed elsewhere
    // reports what that closing gave, once.
    void aReaderTakesOverWhatWasDoneElsewhere()
    {
        TempTree t;
        QVERIFY(t.createFile("f", "0123456789"));
        QVERIFY(::mkfifo(t.path("fifo").c_str(), 0600) == 0);
        TFolder folder(t.root());

        TFileReader reader;
        QCOMPARE(reader.Adopt(-ENOENT), ENOENT);
        const int fifo = ::openat(folder.fd, "fifo", TFileReader::OpenFlags());
        QVERIFY(fifo >= 0);
        QCOMPARE(reader.Adopt(fifo), EINVAL);
        QCOMPARE(::fcntl(fifo, F_GETFD), -1); // closed with the refusal

        const int fd = ::openat(folder.fd, "f", TFileReader::OpenFlags());
        QCOMPARE(reader.Adopt(fd), 0);
        QCOMPARE(reader.Identity().size, std::uint64_t(10));
        char buf[64] {};
        QCOMPARE(::read(fd, buf, 4), ssize_t(4)); // as a ring would have
        QCOMPARE(reader.ReadAfter(buf, sizeof buf, 4), std::int64_t(10));
        QCOMPARE(std::string(buf, 10), std::string("0123456789"));
        QCOMPARE(reader.Read(buf, sizeof buf), std::int64_t(0));

        TFileReader again;
        QCOMPARE(again.Adopt(::openat(folder.fd, "f", TFileReader::OpenFlags())), 0);
        QCOMPARE(again.ReadAfter(buf, sizeof buf, -EAGAIN), std::int64_t(10));
        QCOMPARE(std::string(buf, 10), std::string("0123456789"));
        TFileReader failed;
        QCOMPARE(failed.Adopt(::openat(folder.fd, "f", TFileReader::OpenFlags())), 0);
        QCOMPARE(failed.ReadAfter(buf, sizeof buf, -EIO), std::int64_t(-1));
        QCOMPARE(failed.Error(), EIO);

        const int detached = again.DetachAfterLastRead();
        QVERIFY(detached >= 0);
        QVERIFY(again.Unchanged());
        QCOMPARE(again.DetachAfterLastRead(), -1);
        ::close(detached);
        again.ClosedElsewhere(-EIO);
        QCOMPARE(again.Close(), EIO);
        QCOMPARE(again.Close(), 0);
    }
};

QVL_TEST_CORE_MAIN(IoRingTest)
#include "IoRingTest.moc"
