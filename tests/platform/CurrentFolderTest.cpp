#include "platform/CurrentFolder.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <cerrno>
#include <unistd.h>

using QvlTest::TempTree;

class CurrentFolderTest : public QObject
{
    Q_OBJECT

private slots:
    void changingTheCurrentFolder_data()
    {
        QTest::addColumn<QString>("rel");
        QTest::addColumn<int>("error");
        QTest::newRow("a folder") << "sub" << 0;
        QTest::newRow("missing") << "missing" << ENOENT;
        QTest::newRow("a file") << "file.txt" << ENOTDIR;
    }

    void changingTheCurrentFolder()
    {
        QFETCH(QString, rel);
        QFETCH(int, error);
        TempTree t;
        QVERIFY(t.createDir("sub"));
        QVERIFY(t.createFile("file.txt"));
        QCOMPARE(SetCurrentFolder(t.root()), 0);
        QCOMPARE(SetCurrentFolder(t.path(rel.toStdString())), error);
        QCOMPARE(CurrentFolder(), error ? t.root() : t.path(rel.toStdString()));
        QCOMPARE(SetCurrentFolder(""), ENOENT);
        QCOMPARE(SetCurrentFolder("/"), 0);
    }

    void removedCurrentFolderIsUnknown()
    {
        TempTree t;
        QVERIFY(t.createDir("gone"));
        QCOMPARE(SetCurrentFolder(t.path("gone")), 0);
        QCOMPARE(::rmdir(t.path("gone").c_str()), 0);
        QCOMPARE(CurrentFolder(), std::string());
        QCOMPARE(SetCurrentFolder("/"), 0);
    }
};

QVL_TEST_CORE_MAIN(CurrentFolderTest)
#include "CurrentFolderTest.moc"
