#include "engine/ByteCompare.h"
#include "tests/engine/EngineTestUtil.h"
#include "tests/common/QvlTestMain.h"
#include "tests/platform/TmpfsMount.h"
#include "tests/common/LoopExt4.h"
#include "tests/common/TempTree.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace EngineTest;
using QvlTest::LoopExt4;
using QvlTest::TempTree;
using QvlTest::TmpfsMount;
using Strings = std::vector<std::string>;

namespace {

// Bytes this process has had the storage layer fetch for it, as the kernel
// counts them.
std::uint64_t ReadBytes()
{
    QFile io("/proc/self/io");
    if (!io.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : io.readAll().split('\n'))
        if (line.startsWith("read_bytes: "))
            return line.mid(12).toULongLong();
    return 0;
}

// A folder on a file system with a disk under it, not one kept in memory.
bool OnABlockDevice(const std::string &folder)
{
    struct stat st;
    return ::stat(folder.c_str(), &st) == 0 && major(st.st_dev) != 0;
}

} // namespace


class ByteCompareTest : public QObject
{
    Q_OBJECT

private slots:
    void everyOutcomeCountedOnce()
    {
        TempTree t;
        QVERIFY(t.createFile("src/same.txt", "identical"));
        QVERIFY(t.createFile("dst/same.txt", "identical"));
        QVERIFY(t.createFile("src/len.txt", "short"));
        QVERIFY(t.createFile("dst/len.txt", "longer text"));
        QVERIFY(t.createFile("src/diff.txt", "abcdef"));
        QVERIFY(t.createFile("dst/diff.txt", "abcxef"));
        QVERIFY(t.createFile("src/gone.txt", "1234567"));
        QVERIFY(t.createFile("src/vanishes.txt", "v"));
        QVERIFY(t.createFile("dst/vanishes.txt", "v"));
        QVERIFY(t.createFile("dst/only-in-target.txt", "t"));
        QVERIFY(t.createDir("dst/folder-not-file.txt"));
        QVERIFY(t.createFile("src/folder-not-file.txt", "f"));

        RecordingWindow win;
        win.request = Request(t.path("src"), t.path("dst"));
        // A Source file deleted between the walk and its comparison (which
        // begins with the pairs being opened, a few ahead).
        win.onCall = [&](const std::string &c) {
            if (c == "AppendRunLog" && win.logLines.back() == "Begin folder and file comparison.")
                ::unlink(t.path("src/vanishes.txt").c_str());
        };
        TInfoThread w(&win);
        w.Execute();

        QCOMPARE(Sorted(win.resultLines), Sorted(Strings {
            "Files Match - " + t.path("dst/same.txt"),
            "Lengths Differ - " + t.path("src/len.txt"),
            "Files Differ - " + t.path("src/diff.txt"),
            "Target Missing - " + t.path("dst/gone.txt"),
            "Source Missing - " + t.path("src/vanishes.txt"),
            "Target Missing - " + t.path("dst/folder-not-file.txt"),
        }));
        // Each line comes with the outcome it tells of: the window sorts its
        // log by the outcome, not by the text.
        const std::vector<std::pair<std::string, TReportResult>> told = {
            {"Files Match - ", TReportResult::Match},         {"Lengths Differ - ", TReportResult::LengthsDiffer},
            {"Files Differ - ", TReportResult::Differ},       {"Target Missing - ", TReportResult::TargetMissing},
            {"Source Missing - ", TReportResult::SourceMissing}};
        QCOMPARE(win.resultOutcomes.size(), win.resultLines.size());
        for (std::size_t i = 0; i < win.resultLines.size(); ++i) {
            const auto named = std::find_if(told.begin(), told.end(),
                                            [&](const auto &p) { return win.resultLines[i].starts_with(p.first); });
            QVERIFY(named != told.end());
            QCOMPARE(int(win.resultOutcomes[i]), int(named->second));
        }
        const VerifyCounters &c = w.state.counters;
        QCOMPARE(c.files, 6);
        QCOMPARE(c.filesChecked, 6);
        QCOMPARE(c.same, 1);
        QCOMPARE(c.different, 2);
        QCOMPARE(c.missing, 3);
        QCOMPARE(win.countsText, std::string("6/6"));
        // Sizes of pairs not read go to the overall progress at once; a pair
        // that differs in its first block and a vanished Source add nothing.
        QCOMPARE(c.overallBytesDone, 9.0 + 5 + 7 + 1);
        QVERIFY(!EngineTest::Contains(win.resultLines, "Target Missing - " + t.path("dst/only-in-target.txt")));
        QCOMPARE(w.Troubles(), 0);
    }

    void wildcardCharactersInNamesAreJustCharacters()
    {
        TempTree t;
        QVERIFY(t.createFile("src/a*.txt", "star"));
        QVERIFY(t.createFile("src/b?.txt", "mark"));
        QVERIFY(t.createFile("dst/aX.txt", "star"));
        QVERIFY(t.createFile("dst/b?.txt", "mark"));
        RecordingWindow win;
        win.request = Request(t.path("src"), t.path("dst"));
        RunOnce(win);
        QCOMPARE(Sorted(win.resultLines), Sorted(Strings {"Target Missing - " + t.path("dst/a*.txt"),
                                                          "Files Match - " + t.path("dst/b?.txt")}));
    }

    void specialFilesNeverHangTheRun()
    {
        // A FIFO, a device link and a folder in place of Target files; a FIFO
        // and a device link in the Source: nothing is opened that could
        // block, nothing of them is gathered.
        TempTree t;
        for (const char *name : {"pipe", "dev", "folder"})
            QVERIFY(t.createFile(std::string("src/") + name, "x"));
        QVERIFY(t.createDir("dst"));
        QCOMPARE(::mkfifo(t.path("dst/pipe").c_str(), 0600), 0);
        QCOMPARE(::symlink("/dev/zero", t.path("dst/dev").c_str()), 0);
        QVERIFY(t.createDir("dst/folder"));
        QCOMPARE(::mkfifo(t.path("src/source-pipe").c_str(), 0600), 0);
        QCOMPARE(::symlink("/dev/zero", t.path("src/source-dev").c_str()), 0);
        RecordingWindow win;
        win.request = Request(t.path("src"), t.path("dst"));
        RunOnce(win);
        QCOMPARE(Sorted(win.resultLines), Sorted(Strings {"Target Missing - " + t.path("dst/pipe"),
                                                          "Target Missing - " + t.path("dst/dev"),
                                                          "Target Missing - " + t.path("dst/folder")}));
    }

    void namesThatAreNotUtf8AreComparedAndShown()
    {
        TempTree t;
        const std::string name = "photo-\xe9t\xe9-\xff.jpg";
        QVERIFY(t.createDir("src"));
        QVERIFY(t.createDir("dst"));
        for (const char *side : {"src/", "dst/"}) {
            const int fd = ::open(t.path(side + name).c_str(), O_WRONLY | O_CREAT, 0600);
            QVERIFY(fd >= 0);
            QCOMPARE(::write(fd, "same", 4), 4);
            ::close(fd);
        }
        RecordingWindow win;
        win.request = Request(t.path("src"), t.path("dst"));
        RunOnce(win);
        QCOMPARE(win.resultLines, Strings {"Files Match - " + t.path("dst/" + name)});
    }

    void matchLineNamesSourceInSourceDeleteMode()
    {
        TempTree t;
        QVERIFY(t.createFile("a", "x"));
        QVERIFY(t.createFile("b", "x"));
        for (DeleteMode mode : {DeleteMode::None, DeleteMode::Source, DeleteMode::Target}) {
            RecordingWindow win;
            win.request = Request(t.path("a"), t.path("b"), mode);
            win.confirmDelete = false;
            RunOnce(win);
            const std::string shown = mode == DeleteMode::Source ? t.path("a") : t.path("b");
            QCOMPARE(win.resultLines, Strings {"Files Match - " + shown});
        }
    }

    void blockBoundaries_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("flipAt"); // -1: identical
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("blockSteps");
        QTest::addColumn<double>("overall");
        QTest::newRow("two empty files") << qint64(0) << qint64(-1) << "Files Match" << 0 << 0.0;
        QTest::newRow("exactly one block") << qint64(kBlockSize) << qint64(-1) << "Files Match" << 1 << double(kBlockSize);
        QTest::newRow("one block and a byte") << qint64(kBlockSize + 1) << qint64(-1) << "Files Match" << 2 << double(kBlockSize + 1);
        QTest::newRow("last byte differs") << qint64(2 * kBlockSize + 10) << qint64(2 * kBlockSize + 9) << "Files Differ" << 2 << double(2 * kBlockSize);
        QTest::newRow("first byte differs") << qint64(kBlockSize) << qint64(0) << "Files Differ" << 0 << 0.0;
    }
    void blockBoundaries()
    {
        QFETCH(qint64, size);
        QFETCH(qint64, flipAt);
        QFETCH(QString, line);
        QFETCH(int, blockSteps);
        QFETCH(double, overall);
        TempTree t;
        QByteArray data = Pattern(size);
        QVERIFY(t.createFile("s", data));
        if (flipAt >= 0)
            data[flipAt] = char(data[flipAt] ^ 0x5a);
        QVERIFY(t.createFile("d", data));

        RecordingWindow win;
        win.request = Request(t.path("s"), t.path("d"));
        TInfoThread w(&win);
        w.Execute();
        QCOMPARE(QString::fromStdString(win.resultLines.at(0)).section(" - ", 0, 0), line);
        QCOMPARE(int(win.fileBar.positions.size()), blockSteps);
        QCOMPARE(win.fileBar.max, std::int32_t(size));
        QCOMPARE(w.state.counters.overallBytesDone, overall);
        if (line == "Files Match" && size > 0)
            QCOMPARE(win.fileBar.positions.back(), std::int32_t(size)); // the file bar ends full
    }

    void changedTargetReadIsADifferenceNotAMatch()
    {
        // Equal sizes on record, but the Target returns fewer bytes than the
        // Source: the pair differs, whatever the buffers still hold.
        TempTree t;
        const QByteArray data = Pattern(3 * kBlockSize);
        QVERIFY(t.createFile("s", data));
        QVERIFY(t.createFile("d", data));
        RecordingWindow win;
        win.request = Request(t.path("s"), t.path("d"));
        win.onCall = [&](const std::string &c) {
            if (c == "StartFileBar")
                QVERIFY(::truncate(t.path("d").c_str(), kBlockSize + kBlockSize / 2) == 0);
        };
        RunOnce(win);
        QCOMPARE(win.resultLines, Strings {"Files Differ - " + t.path("s")});
    }

    // Both sides grow alike once open: what is read up to the sizes they
    // had is equal, and those sizes are where the reading stops, but the
    // pair is no match.
    void bothSidesGrowingAlikeIsNoMatch_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::newRow("small") << qint64(1000);
        QTest::newRow("three blocks") << qint64(3 * kBlockSize);
    }
    void bothSidesGrowingAlikeIsNoMatch()
    {
        QFETCH(qint64, size);
        TempTree t;
        const QByteArray data = Pattern(size);
        QVERIFY(t.createFile("s", data));
        QVERIFY(t.createFile("d", data));
        RecordingWindow win;
        win.request = Request(t.path("s"), t.path("d"));
        win.onCall = [&](const std::string &c) {
            if (c != "StartFileBar")
                return;
            for (const char *name : {"s", "d"}) {
                QFile f(QString::fromStdString(t.path(name)));
                QVERIFY(f.open(QIODevice::Append));
                QCOMPARE(f.write("more"), qint64(4));
            }
        };
        RunOnce(win);
        QCOMPARE(win.resultLines, Strings {"Files Differ - " + t.path("s")});
        QVERIFY(Contains(win.logLines, "File changed while it was compared - " + t.path("d")));
    }

    void shortReadDiffersEvenWhenTheStaleBufferWouldMatch()
    {
        // A sysfs attribute has 4096 bytes on record but reads only a few,
        // and never changes meanwhile. The Source has those bytes and then
        // exactly what the Target's buffer still holds from the pair before:
        // only the unequal read counts tell the two apart.
        const std::string attribute = "/sys/devices/system/cpu/online";
        struct stat st;
        if (::stat(attribute.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 4096)
            QSKIP("no sysfs attribute of 4096 bytes on record");
        QFile sys(QString::fromStdString(attribute));
        QVERIFY(sys.open(QIODevice::ReadOnly));
        const QByteArray shown = sys.readAll();
        QVERIFY(!shown.isEmpty() && shown.size() < 4096);
        const QByteArray before = Pattern(4096);
        TempTree t;
        QVERIFY(t.createFile("before-s", before));
        QVERIFY(t.createFile("before-d", before));
        QVERIFY(t.createFile("s", shown + before.mid(shown.size())));

        RecordingWindow win;
        TRunState state;
        TRunContext run(state, win);
        state.request = Request(t.path("s"), attribute);
        ComparePair(run, t.path("before-s"), t.path("before-d"));
        ComparePair(run, t.path("s"), attribute);
        QCOMPARE(win.resultLines, (Strings {"Files Match - " + t.path("before-d"), "Files Differ - " + t.path("s")}));
    }

    void sizeOnRecordIsNotTheEndOfTheFile()
    {
        // Files whose recorded size is 0 but that read bytes (as under /proc):
        // the reads decide, and an empty Source against them differs.
        TempTree t;
        QVERIFY(t.createFile("empty"));
        RecordingWindow win;
        win.request = Request(t.path("empty"), "/proc/self/status");
        RunOnce(win);
        QCOMPARE(win.resultLines, Strings {"Files Differ - " + t.path("empty")});
    }

    // Files that give more bytes than their size (those of /proc have a
    // size of 0; pagemap would give hundreds of gigabytes): read one block
    // past the size and no further, never a match, and the log says the
    // file changed while it was compared. Were the reading to go on, the
    // run is stopped after 64 blocks and no verdict fails the test.
    void fileYieldingMoreThanItsSizeIsNoMatch_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("status") << QStringLiteral("/proc/self/status");
        QTest::newRow("pagemap") << QStringLiteral("/proc/self/pagemap");
    }
    void fileYieldingMoreThanItsSizeIsNoMatch()
    {
        QFETCH(QString, file);
        TempTree t;
        QVERIFY(t.createDir("src"));
        QVERIFY(t.createDir("dst"));
        QCOMPARE(::symlink(file.toLocal8Bit().constData(), t.path("src/f").c_str()), 0);
        QCOMPARE(::symlink(file.toLocal8Bit().constData(), t.path("dst/f").c_str()), 0);
        RecordingWindow win;
        win.request = Request(t.path("src"), t.path("dst"));
        TInfoThread worker(&win);
        int blocks = 0;
        win.onCall = [&](const std::string &call) {
            if (call == "UpdateFileBar" && ++blocks > 64)
                worker.Terminate();
        };
        worker.Execute();
        QCOMPARE(win.resultLines, Strings {"Files Differ - " + t.path("src/f")});
        QVERIFY(Contains(win.logLines, "File changed while it was compared - " + t.path("dst/f")));
        QCOMPARE(worker.Troubles(), 1);
        QCOMPARE(blocks, 0);
    }

    void unreadableFileGivesFileError()
    {
        // /proc/self/mem opens, but reading its first page fails.
        TempTree t;
        QVERIFY(t.createFile("empty"));
        RecordingWindow win;
        win.request = Request("/proc/self/mem", t.path("empty"));
        QVERIFY(win.request.singleFile);
        TInfoThread w(&win);
        w.Execute();
        // The box names the file and the reason in a paragraph of its own.
        QCOMPARE(win.messages, Strings {"File Error: Can't perform one of the following file operations: Open, "
                                        "Seek, Read, Close.\n\n/proc/self/mem (Input/output error)"});
        QVERIFY(win.resultLines.empty());
        QCOMPARE(w.state.counters.filesChecked, 1);
        QCOMPARE(w.state.counters.same + w.state.counters.different + w.state.counters.missing, 0);
        QCOMPARE(w.Troubles(), 1);
        QVERIFY(EngineTest::Contains(win.logLines, "File could not be read - /proc/self/mem (Input/output error)"));
    }

    void largeSparsePairDrivesBarsScaled()
    {
        TempTree t;
        const std::uint64_t size = (std::uint64_t(5) << 29) + 12345; // 2.5 GiB
        QVERIFY(t.createSparse("s", size, size - 1, 'z'));
        QVERIFY(t.createSparse("d", size, size - 1, 'z'));
        RecordingWindow win;
        win.request = Request(t.path("s"), t.path("d"));
        TInfoThread w(&win);
        w.Execute();
        QCOMPARE(win.resultLines, Strings {"Files Match - " + t.path("d")});
        QCOMPARE(win.fileBar.max, std::int32_t(2147483647));
        QCOMPARE(win.overallBar.max, std::int32_t(2147483647));
        QCOMPARE(win.fileBar.positions.back(), std::int32_t(2147483647));
        QCOMPARE(win.overallBar.positions.back(), std::int32_t(2147483647));
        QVERIFY(std::is_sorted(win.fileBar.positions.begin(), win.fileBar.positions.end()));
        const auto mid = win.fileBar.positions[win.fileBar.positions.size() / 2];
        QVERIFY(mid > 1000000000 && mid < 1200000000);
        QCOMPARE(w.state.counters.overallBytesDone, double(size));
    }

    void barArithmetic()
    {
        QCOMPARE(BarRange(0), 0);
        QCOMPARE(BarRange(2147483647.0), 2147483647);
        QCOMPARE(BarRange(5e9), 2147483647);
        QCOMPARE(BarPosition(1000, 2000), 1000);
        QCOMPARE(BarPosition(2.5e9, 5e9), 1073741823);
        QCOMPARE(BarPosition(5e9, 5e9), 2147483647);
    }

    void stopDuringALargeFileLeavesThePairUncounted()
    {
        TempTree t;
        const QByteArray data = Pattern(5 * kBlockSize);
        QVERIFY(t.createFile("src/a", "a"));
        QVERIFY(t.createFile("dst/a", "a"));
        QVERIFY(t.createFile("src/big", data));
        QVERIFY(t.createFile("dst/big", data));
        RecordingWindow win;
        win.request = Request(t.path("src"), t.path("dst"));
        TInfoThread w(&win);
        int blocks = 0;
        win.onCall = [&](const std::string &c) {
            if (c == "UpdateFileBar" && win.currentPair.first == t.path("src/big") && ++blocks == 2)
                w.Terminate();
        };
        w.Execute();
        QCOMPARE(blocks, 2);
        const int before = EngineTest::Contains(win.resultLines, "Files Match - " + t.path("dst/a")) ? 1 : 0;
        QCOMPARE(w.state.counters.filesChecked, before);
        QCOMPARE(w.state.counters.same, before);
        QCOMPARE(int(win.resultLines.size()), before);
    }

    // A block of the Target overwritten on the device itself, behind the
    // page cache that still holds what was written: a copy to a stick that
    // was pulled too early, a drive that wrote garbage.
    void fromDiskSeesWhatTheCacheHides_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("damagedAt");
        QTest::newRow("a block in the middle") << (4 << 20) << 2000000;
        QTest::newRow("the last, partial block") << 4000000 << 3999000;
    }
    void fromDiskSeesWhatTheCacheHides()
    {
        QFETCH(int, size);
        QFETCH(int, damagedAt);
        LoopExt4 disk;
        if (!disk.Usable())
            QSKIP(disk.Reason());
        TempTree t;
        QVERIFY(t.createFile("source.bin", Pattern(size)));
        QFile target(QString::fromStdString(disk.path("target.bin")));
        QVERIFY(target.open(QIODevice::WriteOnly) && target.write(Pattern(size)) == size);
        target.close();
        QVERIFY(disk.ZeroBlockBehindTheCache(disk.path("target.bin"), std::uint64_t(damagedAt)));

        // Through the cache the damage does not show: this is what the
        // option is for.
        RecordingWindow cached;
        cached.request = Request(t.path("source.bin"), disk.path("target.bin"));
        RunOnce(cached);
        QCOMPARE(cached.resultLines, Strings {"Files Match - " + disk.path("target.bin")});

        RecordingWindow fromDisk;
        fromDisk.request = Request(t.path("source.bin"), disk.path("target.bin"));
        fromDisk.request.fromDisk = true;
        RunOnce(fromDisk);
        QCOMPARE(fromDisk.resultLines, Strings {"Files Differ - " + t.path("source.bin")});
    }

    // Files just written, still in the cache: with the option, both are read
    // from the device, which the kernel's count of bytes read shows.
    void fromDiskReadsBothFilesFromTheDevice()
    {
        LoopExt4 disk;
        TempTree t;
        const auto onDisk = [&](const std::string &rel) { return disk.Usable() ? disk.path(rel) : t.path(rel); };
        if (!disk.Usable() && !OnABlockDevice(t.root()))
            QSKIP(qPrintable(QString("no disk to read from: ") + disk.Reason()));
        const int size = 3 * kBlockSize + 12345;
        for (const char *name : {"a.bin", "b.bin"}) {
            QFile f(QString::fromStdString(onDisk(name)));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(Pattern(size)) == size);
        }
        RecordingWindow win;
        win.request = Request(onDisk("a.bin"), onDisk("b.bin"));
        win.request.fromDisk = true;
        const std::uint64_t before = ReadBytes();
        RunOnce(win);
        const std::uint64_t after = ReadBytes();
        QCOMPARE(win.resultLines, Strings {"Files Match - " + onDisk("b.bin")});
        QVERIFY2(after - before >= 2 * std::uint64_t(size),
                 qPrintable(QString("%1 bytes read from the device").arg(after - before)));
    }

    // tmpfs keeps its files in memory: the option cannot reach a disk
    // there, and the log says so once per file system and run.
    void memoryFileSystemIsNamedOncePerRun()
    {
        TempTree t;
        QVERIFY(t.createDir("memory"));
        TmpfsMount memory(t.path("memory"));
        if (!memory.Mounted())
            QSKIP(memory.Reason());
        for (const char *name : {"a", "b", "sub/c"}) {
            QVERIFY(t.createFile(std::string("memory/src/") + name, Pattern(5000)));
            QVERIFY(t.createFile(std::string("dst/") + name, Pattern(5000)));
        }
        const std::string line = "Read from memory, this file system has no disk - ";
        for (bool fromDisk : {true, false}) {
            RecordingWindow win;
            win.request = Request(t.path("memory/src"), t.path("dst"));
            win.request.fromDisk = fromDisk;
            RunOnce(win);
            QCOMPARE(win.resultLines.size(), std::size_t(3));
            Strings named;
            for (const auto &l : win.logLines)
                if (l.rfind(line, 0) == 0)
                    named.push_back(l.substr(line.size()));
            if (fromDisk) {
                QCOMPARE(named.size(), std::size_t(1));
                QVERIFY(named[0].rfind(t.path("memory/src/"), 0) == 0);
            } else {
                QCOMPARE(named, Strings {});
            }
        }
    }

    // Both sides read at once or one after the other: the same outcome,
    // block for block, for a difference anywhere.
    void concurrentReadsChangeNothingButTheTime_data()
    {
        QTest::addColumn<bool>("concurrent");
        QTest::addColumn<int>("differAt"); // -1: equal
        for (bool concurrent : {true, false}) {
            const QString how = concurrent ? "at once: " : "in turn: ";
            QTest::newRow(qPrintable(how + "equal")) << concurrent << -1;
            QTest::newRow(qPrintable(how + "first byte")) << concurrent << 0;
            QTest::newRow(qPrintable(how + "third block")) << concurrent << 2 * kBlockSize + 17;
            QTest::newRow(qPrintable(how + "last byte")) << concurrent << 4 * kBlockSize - 1;
        }
    }
    void concurrentReadsChangeNothingButTheTime()
    {
        QFETCH(bool, concurrent);
        QFETCH(int, differAt);
        TempTree t;
        QByteArray data = Pattern(4 * kBlockSize);
        QVERIFY(t.createFile("s", data));
        if (differAt >= 0)
            data[differAt] = char(data[differAt] ^ 1);
        QVERIFY(t.createFile("d", data));
        RecordingWindow win;
        win.request = Request(t.path("s"), t.path("d"));
        win.request.concurrentReads = concurrent;
        TInfoThread w(&win);
        w.Execute();
        QCOMPARE(win.resultLines, Strings {(differAt < 0 ? "Files Match - " + t.path("d") : "Files Differ - " + t.path("s"))});
        const double blocksBefore = differAt < 0 ? 4 : differAt / kBlockSize;
        QCOMPARE(w.state.counters.overallBytesDone, blocksBefore * kBlockSize);
        QCOMPARE(win.fileBar.positions.size(), std::size_t(blocksBefore));
    }
};

QVL_TEST_CORE_MAIN(ByteCompareTest)
#include "ByteCompareTest.moc"
