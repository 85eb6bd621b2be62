#include "tests/engine/EngineTestUtil.h"
#include "engine/PairOpener.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <QDir>

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
    // 50 pairs: every third Target missing, every fifth of another size.
    static std::vector<std::string> MakePairs(const TempTree &t)
    {
        std::vector<std::string> sources;
        for (int i = 0; i < 50; ++i) {
            const std::string name = "f" + std::to_string(i);
            t.createFile("src/" + name, EngineTest::Pattern(100 + i));
            if (i % 3 != 0)
                t.createFile("dst/" + name, EngineTest::Pattern(i % 5 == 0 ? 7 : 100 + i));
            sources.push_back(t.path("src/" + name));
        }
        return sources;
    }

private slots:
    // Whatever the opener found out ahead is what the pair is, in order.
    void pairsComeInOrderAsTheyAre()
    {
        TempTree t;
        const std::vector<std::string> sources = MakePairs(t);
        const auto targetOf = [&](const std::string &s) { return t.path("dst/" + s.substr(s.rfind('/') + 1)); };
        TPairOpener opener(sources, targetOf, false);
        for (std::size_t i = 0; i < sources.size(); ++i) {
            TPairOpening &o = opener.Take(i);
            QVERIFY(o.sourceFound);
            QCOMPARE(o.targetFound, i % 3 != 0);
            const bool opened = o.targetFound && i % 5 != 0;
            QCOMPARE(o.source.Identity().size, opened ? std::uint64_t(100 + i) : 0);
            QCOMPARE(o.target.Identity().size, opened ? std::uint64_t(100 + i) : 0);
            QCOMPARE(o.sourceSeen.size, std::uint64_t(100 + i));
            o.Clear();
            opener.Done(i);
        }
    }

    // A run stopped after a few pairs: the opener ends without hanging and
    // every file it had opened ahead is closed.
    void stoppingEarlyClosesWhatWasOpenedAhead()
    {
        TempTree t;
        const std::vector<std::string> sources = MakePairs(t);
        const auto targetOf = [&](const std::string &s) { return t.path("dst/" + s.substr(s.rfind('/') + 1)); };
        const int before = OpenDescriptors();
        {
            TPairOpener opener(sources, targetOf, false);
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
