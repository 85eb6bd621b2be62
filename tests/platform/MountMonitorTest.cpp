#include "platform/MountMonitor.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "tests/platform/TmpfsMount.h"

#include <QSignalSpy>

using QvlTest::TempTree;
using QvlTest::TmpfsMount;

class MountMonitorTest : public QObject
{
    Q_OBJECT

private slots:
    void oneMonitorPerProcess()
    {
        QVERIFY(TMountMonitor::Instance());
        QCOMPARE(TMountMonitor::Instance(), TMountMonitor::Instance());
    }

    // Other programs may mount at the same time, so a change is reported
    // at least once; what matters is that every change of ours is seen,
    // the unmount after the mount included.
    void mountAndUnmountAreBothReported()
    {
        QSignalSpy spy(TMountMonitor::Instance(), &TMountMonitor::MountsChanged);
        TempTree t;
        QVERIFY(t.createDir("point"));
        TmpfsMount mount(t.path("point"));
        if (!mount.Mounted())
            QSKIP(mount.Reason());
        QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= 1, 5000);

        spy.clear();
        QVERIFY(mount.Unmount());
        QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= 1, 5000);

        spy.clear();
        TmpfsMount again(t.path("point"));
        QVERIFY(again.Mounted());
        QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= 1, 5000);
    }
};

QVL_TEST_CORE_MAIN(MountMonitorTest)
#include "MountMonitorTest.moc"
