#include "tests/common/QvlTestMain.h"
#include "platform/ShellDelete.h"
#include "tests/common/TempTree.h"
#include "tests/platform/TmpfsMount.h"
#include "tests/platform/Untrashable.h"
#include "platform/Trash.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using QvlTest::TempTree;
using QvlTest::TmpfsMount;
using QvlTest::Untrashable;

namespace {

bool Exists(const std::string &path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::string Batch(const std::vector<std::string> &paths)
{
    std::string batch;
    for (const auto &p : paths)
        batch += p + '\0';
    return batch + '\0';
}

// Records how often and with what count the permanent-delete question was
// asked, and gives a fixed answer.
struct Question {
    bool answer = false;
    int asked = 0;
    std::size_t count = 0;

    PermanentDeleteQuestion Callback()
    {
        return [this](std::size_t n) {
            ++asked;
            count = n;
            return answer;
        };
    }
};

} // namespace

class ShellDeleteTest : public QObject
{
    Q_OBJECT

private slots:
    void everyPathGoesToTheTrash()
    {
        TempTree t;
        QVERIFY(t.createFile("a.txt", "a"));
        QVERIFY(t.createFile("sub/b.txt", "b"));
        QVERIFY(t.createFile("with blank.txt", "c"));
        Question q;
        const int rc = ShellDelete(Batch({t.path("a.txt"), t.path("sub/b.txt"), t.path("with blank.txt")}),
                                   q.Callback());
        QCOMPARE(rc, 0);
        QCOMPARE(q.asked, 0);
        QVERIFY(!Exists(t.path("a.txt")));
        QVERIFY(!Exists(t.path("sub/b.txt")));
        QVERIFY(Exists(t.path("sub")));
        struct stat home, temp;
        QCOMPARE(::stat(std::getenv("HOME"), &home), 0);
        QCOMPARE(::stat(t.root().c_str(), &temp), 0);
        if (home.st_dev != temp.st_dev)
            return; // trashed on the temporary folder's volume instead
        const std::string files = HomeTrashDir() + "/files/";
        QVERIFY(Exists(files + "a.txt"));
        QVERIFY(Exists(files + "b.txt"));
        QVERIFY(Exists(files + "with blank.txt"));
    }

    void emptyBatchIsSuccess()
    {
        QCOMPARE(ShellDelete(std::string(1, '\0'), {}), 0);
        QCOMPARE(ShellDelete(std::string(), {}), 0);
    }

    void missingPathFailsTheBatchButNotTheOthers()
    {
        TempTree t;
        QVERIFY(t.createFile("first.txt"));
        QVERIFY(t.createFile("last.txt"));
        Question q;
        const int rc = ShellDelete(Batch({t.path("first.txt"), t.path("gone.txt"), t.path("last.txt")}),
                                   q.Callback());
        QCOMPARE(rc, ENOENT);
        QCOMPARE(q.asked, 0);
        QVERIFY(!Exists(t.path("first.txt")));
        QVERIFY(!Exists(t.path("last.txt")));
    }

    void untrashableAskOnce_data()
    {
        QTest::addColumn<int>("answer"); // 0 no, 1 yes, 2 nobody to ask
        QTest::addColumn<int>("result");
        QTest::newRow("declined") << 0 << int(ECANCELED);
        QTest::newRow("agreed") << 1 << 0;
        QTest::newRow("no question callback") << 2 << int(ECANCELED);
    }

    void untrashableAskOnce()
    {
        QFETCH(int, answer);
        QFETCH(int, result);
        Untrashable m;
        QVERIFY(m.home.createFile("home.txt"));
        QVERIFY(QDir().mkpath(QString::fromStdString(m.volume + "/folder/deeper")));
        QVERIFY(m.other.createFile("volume/folder/deeper/f"));
        QVERIFY(m.other.createFile("volume/one.txt"));

        Question q;
        q.answer = answer == 1;
        std::vector<std::string> paths = {m.volume + "/folder", m.volume + "/one.txt"};
        if (m.HomeTrashWorks())
            paths.insert(paths.begin() + 1, m.home.path("home.txt"));
        const int rc = ShellDelete(Batch(paths), answer == 2 ? PermanentDeleteQuestion() : q.Callback());
        QCOMPARE(rc, result);
        QCOMPARE(q.asked, answer == 2 ? 0 : 1);
        QCOMPARE(q.count, answer == 2 ? std::size_t(0) : std::size_t(2));
        QCOMPARE(Exists(m.home.path("home.txt")), !m.HomeTrashWorks());
        QCOMPARE(Exists(m.volume + "/folder/deeper/f"), answer != 1);
        QCOMPARE(Exists(m.volume + "/one.txt"), answer != 1);
    }

    // What goes for good after the question is what was asked about: an
    // entry replaced or changed while the question waited stays.
    void permanentDeletionOnlyOfWhatWasAskedAbout()
    {
        Untrashable m;
        QVERIFY(m.other.createFile("volume/edited.txt", "before"));
        QVERIFY(m.other.createFile("volume/replaced.txt", "before"));
        QVERIFY(m.other.createFile("volume/folder/inner", "i"));
        QVERIFY(m.other.createFile("volume/plain.txt", "p"));
        bool asked = false;
        const auto question = [&](std::size_t) {
            asked = true;
            m.other.createFile("volume/edited.txt", "BEFORE");
            ::unlink((m.volume + "/replaced.txt").c_str());
            m.other.createFile("volume/replaced.txt", "before");
            ::rename((m.volume + "/folder").c_str(), (m.volume + "/old-folder").c_str());
            m.other.createFile("volume/folder/new", "n");
            return true;
        };
        const int rc = ShellDelete(Batch({m.volume + "/edited.txt", m.volume + "/replaced.txt", m.volume + "/folder",
                                          m.volume + "/plain.txt"}),
                                   question);
        QVERIFY(asked);
        QCOMPARE(rc, ESTALE);
        QVERIFY(Exists(m.volume + "/edited.txt"));
        QVERIFY(Exists(m.volume + "/replaced.txt"));
        QVERIFY(Exists(m.volume + "/folder/new"));
        QVERIFY(Exists(m.volume + "/old-folder/inner"));
        QVERIFY(!Exists(m.volume + "/plain.txt"));
    }

    void permanentDeletionNeverFollowsLinks()
    {
        Untrashable m;
        QVERIFY(m.home.createFile("outside/keep.txt", "keep"));
        QVERIFY(QDir().mkpath(QString::fromStdString(m.volume + "/folder/sub")));
        QCOMPARE(::symlink(m.home.path("outside").c_str(), (m.volume + "/folder/sub/dir-link").c_str()), 0);
        QCOMPARE(::symlink(m.home.path("outside/keep.txt").c_str(), (m.volume + "/folder/file-link").c_str()), 0);
        QCOMPARE(::symlink(m.home.path("outside").c_str(), (m.volume + "/top-link").c_str()), 0);

        Question q;
        q.answer = true;
        // "top-link/" names the link, not the folder it points at.
        QCOMPARE(ShellDelete(Batch({m.volume + "/folder", m.volume + "/top-link/"}), q.Callback()), 0);
        QCOMPARE(q.count, std::size_t(2));
        QVERIFY(!Exists(m.volume + "/folder"));
        QVERIFY(!Exists(m.volume + "/top-link"));
        QVERIFY(Exists(m.home.path("outside/keep.txt")));
    }

    void permanentDeletionStopsAtAnotherFileSystem()
    {
        Untrashable m;
        QVERIFY(QDir().mkpath(QString::fromStdString(m.volume + "/folder/inner")));
        TmpfsMount inner(m.volume + "/folder/inner");
        if (!inner.Mounted())
            QSKIP(inner.Reason());
        QVERIFY(m.other.createFile("volume/folder/inner/precious"));
        QVERIFY(m.other.createFile("volume/folder/plain"));
        Question q;
        q.answer = true;
        std::string why;
        QCOMPARE(ShellDelete(Batch({m.volume + "/folder"}), q.Callback(), &why), EBUSY);
        // A folder that holds a volume is neither trashed nor wiped: nothing
        // in it goes, and no question is put.
        QCOMPARE(q.asked, 0);
        QVERIFY(Exists(m.volume + "/folder/inner/precious"));
        QVERIFY(Exists(m.volume + "/folder/plain"));
        QVERIFY2(why.find("mounted inside it at " + m.volume + "/folder/inner") != std::string::npos, why.c_str());
    }

    // A volume mounted anywhere below a folder keeps the folder where it is:
    // in the trash, the volume would be wiped with the trash.
    void folderHoldingAVolumeIsRefused_data()
    {
        QTest::addColumn<QString>("mountAt");
        QTest::newRow("just inside") << "keep/card";
        QTest::newRow("deep inside") << "keep/a/b/c/card";
    }
    void folderHoldingAVolumeIsRefused()
    {
        QFETCH(QString, mountAt);
        TempTree t;
        const std::string at = mountAt.toStdString();
        QVERIFY(t.createDir(at));
        QVERIFY(t.createFile("keep/plain.txt", "beside"));
        QVERIFY(t.createFile("other.txt", "goes"));
        TmpfsMount card(t.path(at));
        if (!card.Mounted())
            QSKIP(card.Reason());
        QVERIFY(t.createFile(at + "/DCIM/0001.jpg", "only copy"));
        Question q;
        q.answer = true;
        std::string why;
        QCOMPARE(ShellDelete(Batch({t.path("keep"), t.path("other.txt")}), q.Callback(), &why), EBUSY);
        QCOMPARE(q.asked, 0);
        QVERIFY2(why.find(t.path(at)) != std::string::npos, why.c_str());
        QVERIFY(Exists(t.path(at + "/DCIM/0001.jpg")));
        QVERIFY(Exists(t.path("keep/plain.txt")));
        // The rest of the batch goes as ever.
        QVERIFY(!Exists(t.path("other.txt")));
        QVERIFY(!Exists(HomeTrashDir() + "/files/keep"));
        // Neither does the trash take it asked directly.
        const TrashOutcome direct = MoveToTrash(t.path("keep"));
        QCOMPARE(direct.error, EBUSY);
        QVERIFY2(direct.message.find(t.path(at)) != std::string::npos, direct.message.c_str());
    }

    void volumeRootsAreNeverOffered()
    {
        Question q;
        q.answer = true;
        QCOMPARE(ShellDelete(Batch({"/"}), q.Callback()), EBUSY);
        QCOMPARE(q.asked, 0);

        TempTree t;
        QVERIFY(t.createDir("point"));
        TmpfsMount mount(t.path("point"));
        if (!mount.Mounted())
            QSKIP(mount.Reason());
        QVERIFY(t.createFile("point/on-the-volume"));
        QCOMPARE(ShellDelete(Batch({t.path("point") + '/'}), q.Callback()), EBUSY);
        QCOMPARE(q.asked, 0);
        QVERIFY(Exists(t.path("point/on-the-volume")));
        QCOMPARE(MoveToTrash(t.path("point")).error, EBUSY);
        // Nothing was made on the volume for the attempt.
        const QDir volume(QString::fromStdString(t.path("point")));
        QCOMPARE(volume.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList {"on-the-volume"});
    }

    void emptyFolders_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<bool>("empty");
        QTest::newRow("empty folder") << QByteArray("empty") << true;
        QTest::newRow("empty folder with a trailing slash") << QByteArray("empty/") << true;
        QTest::newRow("folder with a hidden file") << QByteArray("hidden") << false;
        QTest::newRow("folder with an empty folder") << QByteArray("nested") << false;
        QTest::newRow("file") << QByteArray("file") << false;
        QTest::newRow("link to an empty folder") << QByteArray("link") << false;
        QTest::newRow("link to an empty folder, trailing slash") << QByteArray("link/") << false;
        QTest::newRow("missing") << QByteArray("missing") << false;
    }

    void emptyFolders()
    {
        QFETCH(QByteArray, path);
        QFETCH(bool, empty);
        TempTree t;
        QVERIFY(t.createDir("empty"));
        QVERIFY(t.createFile("hidden/.dot"));
        QVERIFY(t.createDir("nested/inner"));
        QVERIFY(t.createFile("file"));
        QCOMPARE(::symlink(t.path("empty").c_str(), t.path("link").c_str()), 0);
        QCOMPARE(IsEmptyFolder(t.path(path.toStdString())), empty);
    }
};

QVL_TEST_CORE_MAIN(ShellDeleteTest)
#include "ShellDeleteTest.moc"
