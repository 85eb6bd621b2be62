// Renaming an entry in its folder: what it renames, and that nothing that
// already has the new name is ever replaced.
#include "platform/RenameEntry.h"

#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "tests/platform/TmpfsMount.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

using QvlTest::TempTree;
using QvlTest::TmpfsMount;

namespace {

QStringList Entries(const std::string &folder)
{
    QStringList names = QDir(QFile::decodeName(QByteArray::fromStdString(folder)))
                            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    names.sort();
    return names;
}

QByteArray Contents(const std::string &path)
{
    QFile f(QFile::decodeName(QByteArray::fromStdString(path)));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

class RenameEntryTest : public QObject
{
    Q_OBJECT
private slots:
    void renamesTheEntryItself_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("newName");
        QTest::addColumn<QStringList>("after"); // the folder's entries afterwards
        QTest::newRow("folder with contents") << "folder" << "renamed" << QStringList {"file", "link", "renamed"};
        QTest::newRow("file") << "file" << "other name" << QStringList {"folder", "link", "other name"};
        QTest::newRow("link, not what it leads to") << "link" << "moved" << QStringList {"file", "folder", "moved"};
        QTest::newRow("own name") << "folder" << "folder" << QStringList {"file", "folder", "link"};
        QTest::newRow("path with a trailing slash") << "folder/" << "renamed" << QStringList {"file", "link", "renamed"};
    }

    void renamesTheEntryItself()
    {
        QFETCH(QString, entry);
        QFETCH(QString, newName);
        QFETCH(QStringList, after);
        TempTree tree;
        QVERIFY(tree.createFile("folder/inside", "kept"));
        QVERIFY(tree.createFile("file", "data"));
        QCOMPARE(::symlink("folder", tree.path("link").c_str()), 0);
        QCOMPARE(RenameEntry(tree.path(entry.toStdString()), newName.toStdString()), 0);
        QCOMPARE(Entries(tree.root()), after);
        if (after.contains("renamed"))
            QCOMPARE(Contents(tree.path("renamed/inside")), QByteArray("kept"));
        if (after.contains("moved")) {
            QCOMPARE(Entries(tree.path("folder")), QStringList {"inside"}); // the folder stays
            struct stat st;
            QCOMPARE(::lstat(tree.path("moved").c_str(), &st), 0);
            QVERIFY(S_ISLNK(st.st_mode));
        }
    }

    void nothingIsEverReplaced_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("taken"); // already there under the new name
        QTest::newRow("folder onto an empty folder") << "folder" << "empty";
        QTest::newRow("folder onto a full folder") << "folder" << "full";
        QTest::newRow("file onto a file") << "file" << "other";
        QTest::newRow("file onto a link") << "file" << "link";
        QTest::newRow("file onto a dangling link") << "file" << "dangling";
    }

    void nothingIsEverReplaced()
    {
        QFETCH(QString, entry);
        QFETCH(QString, taken);
        TempTree tree;
        QVERIFY(tree.createFile("folder/mine", "mine"));
        QVERIFY(tree.createDir("empty"));
        QVERIFY(tree.createFile("full/theirs", "theirs"));
        QVERIFY(tree.createFile("file", "file"));
        QVERIFY(tree.createFile("other", "other"));
        QCOMPARE(::symlink("other", tree.path("link").c_str()), 0);
        QCOMPARE(::symlink("nowhere", tree.path("dangling").c_str()), 0);
        const QStringList before = Entries(tree.root());
        QCOMPARE(RenameEntry(tree.path(entry.toStdString()), taken.toStdString()), EEXIST);
        QCOMPARE(Entries(tree.root()), before);
        QCOMPARE(Entries(tree.path("empty")), QStringList());
        QCOMPARE(Contents(tree.path("full/theirs")), QByteArray("theirs"));
        QCOMPARE(Contents(tree.path("folder/mine")), QByteArray("mine"));
        QCOMPARE(Contents(tree.path("other")), QByteArray("other"));
        QCOMPARE(Contents(tree.path("file")), QByteArray("file"));
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("entry"); // below the tree; "/" for the root
        QTest::addColumn<QString>("newName");
        QTest::addColumn<int>("error");
        QTest::newRow("empty name") << "folder" << "" << EINVAL;
        QTest::newRow("dot") << "folder" << "." << EINVAL;
        QTest::newRow("dot dot") << "folder" << ".." << EINVAL;
        QTest::newRow("name with a slash") << "folder" << "sub/name" << EINVAL;
        QTest::newRow("missing entry") << "missing" << "name" << ENOENT;
        QTest::newRow("missing folder on the way") << "missing/folder" << "name" << ENOENT;
        QTest::newRow("root") << "/" << "name" << EBUSY;
    }

    void refusals()
    {
        QFETCH(QString, entry);
        QFETCH(QString, newName);
        QFETCH(int, error);
        TempTree tree;
        QVERIFY(tree.createDir("folder"));
        QVERIFY(tree.createDir("sub"));
        const QStringList before = Entries(tree.root());
        const std::string path = entry == "/" ? "/" : tree.path(entry.toStdString());
        QCOMPARE(RenameEntry(path, newName.toStdString()), error);
        QCOMPARE(Entries(tree.root()), before);
        QCOMPARE(Entries(tree.path("sub")), QStringList());
    }

    void aMountPointIsNotRenamed()
    {
        TempTree tree;
        QVERIFY(tree.createDir("mnt"));
        TmpfsMount mount(tree.path("mnt"));
        if (!mount.Mounted())
            QSKIP(mount.Reason());
        QVERIFY(tree.createFile("mnt/on-the-volume"));
        QCOMPARE(RenameEntry(tree.path("mnt"), "elsewhere"), EBUSY);
        QCOMPARE(Entries(tree.root()), QStringList {"mnt"});
        QCOMPARE(Entries(tree.path("mnt")), QStringList {"on-the-volume"});
    }
};

QVL_TEST_CORE_MAIN(RenameEntryTest)
#include "RenameEntryTest.moc"
