// Reading a file from the disk where the file system refuses direct reads:
// its dirty pages are written back first, and a write-back that fails is a
// failure of the read, never a comparison of what the cache holds.
//
// The test program stands in for fdatasync() and open() (the platform
// library is linked in statically, so its calls reach these): a switch makes
// the write-back fail, another makes open() refuse O_DIRECT as such a file
// system does. Without the switches both pass the call on to the kernel.
#undef _FORTIFY_SOURCE

#include "platform/FileReader.h"

#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <cerrno>
#include <cstdarg>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

using QvlTest::TempTree;

namespace {

int g_syncError = 0;      // the errno fdatasync() fails with; 0: it does its work
int g_syncCalls = 0;
bool g_refuseDirect = false;

} // namespace

extern "C" int fdatasync(int fd)
{
    ++g_syncCalls;
    if (g_syncError) {
        errno = g_syncError;
        return -1;
    }
    return static_cast<int>(::syscall(SYS_fdatasync, fd));
}

extern "C" int open(const char *path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    if (g_refuseDirect && (flags & O_DIRECT)) {
        errno = EINVAL;
        return -1;
    }
    return static_cast<int>(::syscall(SYS_openat, AT_FDCWD, path, flags, mode));
}

class FileReaderTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        g_syncError = 0;
        g_syncCalls = 0;
        g_refuseDirect = false;
    }
    void cleanup() { init(); }

    // A file of /proc has a size of 0 whatever it holds: its size never
    // tells where it ends, only a read does.
    void procSizesTellNoEnd()
    {
        TFileReader r;
        QCOMPARE(r.Open("/proc/self/status"), 0);
        QCOMPARE(r.Identity().size, std::uint64_t(0));
        QVERIFY(!r.AtEnd());
        char buf[64];
        QVERIFY(r.Read(buf, sizeof buf) > 0);
        QVERIFY(!r.AtEnd());
    }

    // Opening with the write-back: its failure is the open's error, and a
    // file system that has no way to sync a file is not a failure.
    void writeBackWhenDirectReadsAreRefused_data()
    {
        QTest::addColumn<int>("syncError");
        QTest::addColumn<int>("openError");
        QTest::newRow("written back") << 0 << 0;
        QTest::newRow("I/O error") << EIO << EIO;
        QTest::newRow("disk full") << ENOSPC << ENOSPC;
        QTest::newRow("cannot sync: nothing dirty") << EINVAL << 0;
        QTest::newRow("read-only: nothing dirty") << EROFS << 0;
    }
    void writeBackWhenDirectReadsAreRefused()
    {
        QFETCH(int, syncError);
        QFETCH(int, openError);
        TempTree tree;
        QVERIFY(tree.createFile("file", "contents"));
        g_refuseDirect = true;
        g_syncError = syncError;
        TFileReader reader;
        QCOMPARE(reader.Open(tree.path("file"), true), openError);
        QCOMPARE(g_syncCalls, 1);
        QCOMPARE(reader.Error(), openError);
        char buf[64];
        if (openError) {
            QCOMPARE(reader.Read(buf, sizeof buf), std::int64_t(-1));
            QVERIFY(reader.Identity().size == 0);
        } else {
            QCOMPARE(reader.Read(buf, sizeof buf), std::int64_t(8));
            QCOMPARE(QByteArray(buf, 8), QByteArray("contents"));
        }
    }

    // A direct read that the kernel refuses (here: an unaligned buffer) goes
    // on through the cache after a write-back; when that fails, the read does.
    void writeBackWhenADirectReadFallsBack_data()
    {
        QTest::addColumn<int>("syncError");
        QTest::addColumn<int>("readError");
        QTest::newRow("written back") << 0 << 0;
        QTest::newRow("I/O error") << EIO << EIO;
        QTest::newRow("cannot sync: nothing dirty") << EINVAL << 0;
    }
    void writeBackWhenADirectReadFallsBack()
    {
        QFETCH(int, syncError);
        QFETCH(int, readError);
        TempTree tree;
        QVERIFY(tree.createFile("file", QByteArray(10000, 'x')));
        const int probe = ::open(tree.path("file").c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC);
        if (probe < 0)
            QSKIP("the temporary folder's file system does not do direct reads");
        ::close(probe);
        TFileReader reader;
        QCOMPARE(reader.Open(tree.path("file"), true), 0);
        QCOMPARE(g_syncCalls, 0);
        g_syncError = syncError;
        alignas(kDirectAlignment) static char buf[3 * kDirectAlignment];
        const std::int64_t n = reader.Read(buf + 1, 2 * kDirectAlignment);
        QCOMPARE(g_syncCalls, 1);
        QCOMPARE(reader.Error(), readError);
        QCOMPARE(n, readError ? std::int64_t(-1) : std::int64_t(2 * kDirectAlignment));
    }
};

QVL_TEST_CORE_MAIN(FileReaderTest)
#include "FileReaderTest.moc"
