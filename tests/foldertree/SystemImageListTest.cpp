// The shared icon list and the look-up of an item's icons through the folder
// that holds it.
#include "controls/foldertree/ShellNamespace.h"
#include "controls/foldertree/SystemImageList.h"

#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

class SystemImageListTest : public QObject
{
    Q_OBJECT
private slots:
    void itemIconsComeFromItsFolder()
    {
        QvlTest::TempTree tree;
        QVERIFY(tree.createDir("alpha/beta"));
        TPidlHolder id;
        QVERIFY(GetPIDLFromPath(nullptr, GetDesktopFolder().get(), tree.path("alpha/beta"), id));
        int normal = -2, open = -2;
        GetNormalAndSelectedIcons(id.get(), normal, open);
        QVERIFY(normal >= 0);
        QVERIFY(open >= 0);
        QVERIFY(!TSystemImageList::Instance().Icon(normal).isNull());

        // The Desktop (the empty list) has an icon of its own; no list has none.
        const TPidlHolder desktop = CreatePIDL(2);
        const int desktopIcon = GetIconIndex(desktop.get(), giSysIconIndex | giPidl | giSmallIcon);
        QVERIFY(desktopIcon >= 0);
        QVERIFY(desktopIcon != normal);
        QCOMPARE(GetIconIndex(nullptr, 0), -1);
    }

    void namesAreLookedUpOnce()
    {
        TSystemImageList &list = TSystemImageList::Instance();
        const int folder = list.IndexOf("folder");
        QVERIFY(folder >= 0);
        const int count = list.Count();
        QCOMPARE(list.IndexOf("folder"), folder);
        QCOMPARE(list.Count(), count);
        QVERIFY(list.Icon(-1).isNull());
        QVERIFY(list.Icon(count).isNull());
    }
};

QVL_TEST_MAIN(SystemImageListTest)
#include "SystemImageListTest.moc"
