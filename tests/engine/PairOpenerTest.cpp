#include "tests/engine/EngineTestUtil.h"
#include "engine/GatheredFiles.h"
#include "engine/PairOpener.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <QDir>
#include <QFile>

using QvlTest::TempTree;

namespace {

int OpenDescriptors()
{
    return int(QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

} // namespace

class PairOpenerTest : public QObject
{
    Q_OBJECT

private:
    // 150 pairs in three folders: every third Target missing, every fifth
    // of another size; the Target lacks the third folder.
    static void MakePairs(const TempTree &t, TGatheredFiles &sources)
    {
        sources.clear(t.path("src"));
        std::uint32_t folder = TGatheredFiles::kRoot;
        for (int i = 0; i < 150; ++i) {
            if (i == 50)
                folder = sources.AddFolder(TGatheredFiles::kRoot, "sub");
            if (i == 100)
                folder = sources.AddFolder(folder, "only-here");
            const std::string name = "f" + std::to_string(i);
            const std::string relative = sources.FolderRelative(folder) + (folder ? "/" : "") + name;
            t.createFile("src/" + relative, EngineTest::Pattern(100 + i));
            if (i % 3 != 0 && i < 100)
                t.createFile("dst/" + relative, EngineTest::Pattern(i % 5 == 0 ? 7 : 100 + i));
            sources.Add(folder, name);
        }
    }

private slots:
    // Whatever the opener found out ahead is what the pair is, in order.
    void pairsComeInOrderAsTheyAre()
    {
        TempTree t;
        TGatheredFiles sources;
        MakePairs(t, sources);
        TPairOpener opener(sources, t.path("dst") + "/", false);
        for (std::size_t i = 0; i < sources.size(); ++i) {
            TPairOpening &o = opener.Take(i);
            QVERIFY(o.sourceFound);
            QCOMPARE(o.targetFound, i % 3 != 0 && i < 100);
            const bool opened = o.targetFound && i % 5 != 0;
            QCOMPARE(o.source.Identity().size, opened ? std::uint64_t(100 + i) : 0);
            QCOMPARE(o.target.Identity().size, opened ? std::uint64_t(100 + i) : 0);
            QCOMPARE(o.sourceSeen.size, std::uint64_t(100 + i));
            // Small pairs arrive read: the whole of both files, then their
            // ends, unless their file system's sizes tell those.
            const bool sizesTell = o.source.AtEnd() && o.target.AtEnd();
            QCOMPARE(o.readAheadSteps, opened ? (sizesTell ? 1 : 2) : 0);
            if (opened) {
                QCOMPARE(o.readAheadCount[0][0], std::int64_t(100 + i));
                if (!sizesTell)
                    QCOMPARE(o.readAheadCount[1][1], std::int64_t(0));
                QCOMPARE(QByteArray(o.ReadAheadBlock(1, 0), qsizetype(100 + i)), EngineTest::Pattern(100 + i));
            }
            o.Clear();
            opener.Done(i);
        }
    }

    // Sources gone since they were listed, with their Targets there: the
    // pairs opened together open each Target too, and must not keep it.
    void sourcesGoneSinceListedKeepNothingOpen()
    {
        TempTree t;
        TGatheredFiles sources;
        MakePairs(t, sources);
        for (std::size_t i = 0; i < sources.size(); i += 2)
            QVERIFY(QFile::remove(QString::fromStdString(sources.Path(i))));
        const int before = OpenDescriptors();
        {
            TPairOpener opener(sources, t.path("dst") + "/", false);
            for (std::size_t i = 0; i < sources.size(); ++i) {
                TPairOpening &o = opener.Take(i);
                QCOMPARE(o.sourceFound, i % 2 != 0);
                if (!o.sourceFound)
                    QVERIFY(!o.targetFound);
                o.Clear();
                opener.Done(i);
            }
        }
        QCOMPARE(OpenDescriptors(), before);
    }

    // A run stopped after a few pairs: the opener ends without hanging and
    // every file it had opened ahead is closed.
    void stoppingEarlyClosesWhatWasOpenedAhead()
    {
        TempTree t;
        TGatheredFiles sources;
        MakePairs(t, sources);
        const int before = OpenDescriptors();
        {
            TPairOpener opener(sources, t.path("dst") + "/", false);
            for (std::size_t i = 0; i < 3; ++i) {
                opener.Take(i).Clear();
                opener.Done(i);
            }
            // Let it run ahead as far as it goes.
            opener.Take(3);
        }
        QCOMPARE(OpenDescriptors(), before);
    }
};

QVL_TEST_CORE_MAIN(PairOpenerTest)
#include "PairOpenerTest.moc"
