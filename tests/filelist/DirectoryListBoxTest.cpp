#include "platform/CurrentFolder.h"
#include "controls/filelist/DirectoryListBox.h"
#include "controls/filelist/FlCtrlEx.h"
#include "platform/MountTable.h"
#include "platform/Paths.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using QvlTest::TempTree;

namespace {

QStringList Paths(const TDirectoryListBox &dirs)
{
    QStringList rows;
    for (const std::string &p : dirs.ItemPaths())
        rows << QString::fromStdString(p);
    return rows;
}

// The drive root of a folder and each folder from there down to it.
QStringList WayDown(const std::string &folder)
{
    const std::string root = DriveRoot(folder);
    QStringList rows{QString::fromStdString(root)};
    std::string way = ExcludeTrailingSlash(root);
    const std::string below = RelativeTo(folder, root);
    std::size_t start = 0;
    while (start < below.size()) {
        std::size_t end = below.find('/', start);
        if (end == std::string::npos)
            end = below.size();
        way = IncludeTrailingSlash(way) + below.substr(start, end - start);
        rows << QString::fromStdString(way);
        start = end + 1;
    }
    return rows;
}

} // namespace

class DirectoryListBoxTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(SetCurrentFolder(QDir::tempPath().toStdString()) == 0);
    }

    void rowsForAFolderThreeLevelsDeep()
    {
        TempTree t;
        QVERIFY(t.createDir("a/b/c/zeta"));
        QVERIFY(t.createDir("a/b/c/Alpha"));
        QVERIFY(t.createDir("a/b/c/beta"));
        QVERIFY(t.createDir("a/b/c/.hidden"));
        QVERIFY(t.createFile("a/b/c/file.txt"));
        QVERIFY(t.createDir("a/b/sibling"));
        QCOMPARE(::symlink(t.path("a").c_str(), t.path("a/b/c/linked").c_str()), 0);
        QCOMPARE(::symlink("gone", t.path("a/b/c/dangling").c_str()), 0);
        QCOMPARE(::mkfifo(t.path("a/b/c/fifo").c_str(), 0600), 0);

        TDirectoryListBox dirs;
        dirs.SetDirectory(t.path("a/b/c"));
        const QStringList way = WayDown(t.path("a/b/c"));
        const QStringList lastFour = {QString::fromStdString(t.root()), QString::fromStdString(t.path("a")),
                                      QString::fromStdString(t.path("a/b")), QString::fromStdString(t.path("a/b/c"))};
        QCOMPARE(way.mid(way.size() - 4), lastFour);
        const QString c = QString::fromStdString(t.path("a/b/c/"));
        const QStringList subfolders = {c + "Alpha", c + "beta", c + "linked", c + "zeta"};
        QCOMPARE(Paths(dirs), way + subfolders);
        QCOMPARE(dirs.DirectoryRow(), way.size() - 1);
        QCOMPARE(dirs.currentRow(), dirs.DirectoryRow());
        QCOMPARE(dirs.Directory(), t.path("a/b/c"));
        QCOMPARE(CurrentFolder(), t.path("a/b/c"));
        QVERIFY(QString::fromStdString(dirs.GetItemPath(0)).endsWith('/'));
    }

    void rootOfTheSystem()
    {
        TDirectoryListBox dirs;
        dirs.SetDirectory("/");
        QCOMPARE(dirs.GetItemPath(0), std::string("/"));
        QCOMPARE(dirs.DirectoryRow(), 0);
        for (int i = 1; i < dirs.Count(); ++i) {
            const std::string p = dirs.GetItemPath(i);
            QVERIFY(p.size() > 1 && p[0] == '/' && p.find('/', 1) == std::string::npos && p[1] != '.');
        }
    }

    void settingTheFolderAgainRereadsTheDisk()
    {
        TempTree t;
        QVERIFY(t.createDir("top/one"));
        TDirectoryListBox dirs;
        int changes = 0;
        dirs.OnChange = [&changes](QObject *) { ++changes; };
        dirs.SetDirectory(t.path("top"));
        QCOMPARE(changes, 1);
        const int before = dirs.Count();
        QVERIFY(t.createDir("top/two"));
        dirs.SetDirectory(t.path("top"));
        QCOMPARE(dirs.Count(), before + 1);
        QCOMPARE(changes, 1);
        // Relative to the folder shown.
        dirs.SetDirectory("two");
        QCOMPARE(dirs.Directory(), t.path("top/two"));
        QCOMPARE(changes, 2);
    }

    void folderThatCannotBeEnteredChangesNothing()
    {
        TempTree t;
        QVERIFY(t.createDir("top/one"));
        TDirectoryListBox dirs;
        dirs.SetDirectory(t.path("top"));
        const QStringList rows = Paths(dirs);
        QVERIFY_THROWS_EXCEPTION(EInOutError, dirs.SetDirectory(t.path("missing")));
        QCOMPARE(dirs.Directory(), t.path("top"));
        QCOMPARE(Paths(dirs), rows);
        QCOMPARE(CurrentFolder(), t.path("top"));
    }

    void linkedFileListFollowsAndTheLinkIsMutual()
    {
        TempTree t;
        QVERIFY(t.createFile("one/a.txt"));
        QVERIFY(t.createFile("two/b.txt"));
        TFileListBoxEx source, target;
        auto dirs = std::make_unique<TDirectoryListBox>();
        dirs->SetFileList(&source);
        dirs->SetDirectory(t.path("one"));
        QCOMPARE(source.Directory(), t.path("one"));
        // Moving the link: the first list lets go.
        dirs->SetFileList(&target);
        QCOMPARE(source.DirList(), nullptr);
        QCOMPARE(target.DirList(), dirs.get());
        dirs->SetDirectory(t.path("two"));
        QCOMPARE(target.Directory(), t.path("two"));
        QCOMPARE(source.Directory(), t.path("one"));
        // A list that another directory list takes over leaves the first.
        TDirectoryListBox other;
        other.SetFileList(&target);
        QCOMPARE(dirs->FileList(), nullptr);
        dirs->SetFileList(&source);
        // Either side going away drops the link on the other.
        dirs.reset();
        QCOMPARE(source.DirList(), nullptr);
        {
            TFileListBoxEx shortLived;
            other.SetFileList(&shortLived);
        }
        QCOMPARE(other.FileList(), nullptr);
        other.SetDirectory(t.path("one")); // must not touch the list that is gone
    }

    void doubleClickOpensAFolder()
    {
        TempTree t;
        QVERIFY(t.createDir("top/inner"));
        TDirectoryListBox dirs;
        dirs.SetDirectory(t.path("top"));
        dirs.resize(300, 300);
        dirs.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dirs));
        const int row = dirs.Count() - 1;
        QCOMPARE(dirs.GetItemPath(row), t.path("top/inner"));
        const QPoint at = dirs.visualItemRect(dirs.item(row)).center();
        QTest::mouseClick(dirs.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(dirs.viewport(), Qt::LeftButton, {}, at);
        QTRY_COMPARE(dirs.Directory(), t.path("top/inner"));
    }
};

QVL_TEST_MAIN(DirectoryListBoxTest)
#include "DirectoryListBoxTest.moc"
