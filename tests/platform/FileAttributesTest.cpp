#include "platform/FileAttributes.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <sys/stat.h>
#include <unistd.h>

using QvlTest::TempTree;

class FileAttributesTest : public QObject
{
    Q_OBJECT

private slots:
    void readOnlyMeansNotWritableByTheUser()
    {
        TempTree t;
        QVERIFY(t.createFile("open.txt"));
        QVERIFY(t.createFile("locked.txt"));
        QCOMPARE(::chmod(t.path("locked.txt").c_str(), 0444), 0);
        QVERIFY(!IsReadOnlyPath(t.path("open.txt")));
        QVERIFY(IsReadOnlyPath(t.path("missing.txt")));
        if (::geteuid() == 0)
            QSKIP("root may write every file");
        QVERIFY(IsReadOnlyPath(t.path("locked.txt")));
    }
};

QVL_TEST_CORE_MAIN(FileAttributesTest)
#include "FileAttributesTest.moc"
