// The family base: node data and its leak count, the delayed notification
// of linked controls, the linking itself, the reset of every tree on a mount
// or unmount, and the error texts.
#include "platform/MountMonitor.h"
#include "controls/foldertree/CustomSystemComboBox.h"
#include "controls/foldertree/CustomSystemListView.h"
#include "controls/foldertree/CustomSystemTreeView.h"
#include "controls/foldertree/FolderItemData.h"
#include "controls/foldertree/ShellControlErrors.h"
#include "controls/foldertree/SystemTreeView.h"

#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "tests/foldertree/TreeTestHelpers.h"

#include <QProcess>
#include <QTimerEvent>

#include <memory>

#include <sys/mount.h>

namespace {

// A list sibling that only counts what its tree tells it.
class TCountingList : public TCustomSystemListView
{
public:
    using TCustomSystemListView::TCustomSystemListView;
    PCItemIDList GetSelectionPIDL() override { return nullptr; }
    TShellFolderPtr GetSelectionParentFolder() override { return GetDesktopFolder(); }
    bool LinkedReset(const TShellFolderPtr &, PCItemIDList, bool) override { return false; }
    void LinkedControlChanged(QObject *sender, bool force) override
    {
        ++Notified;
        TCustomSystemListView::LinkedControlChanged(sender, force);
    }
    int Notified = 0;
};

// A combo sibling that hands the tree a selection.
class TPathCombo : public TCustomSystemComboBox
{
public:
    using TCustomSystemComboBox::TCustomSystemComboBox;
    PCItemIDList GetSelectionPIDL() override { return Id.get(); }
    TShellFolderPtr GetSelectionParentFolder() override { return GetDesktopFolder(); }
    bool LinkedReset(const TShellFolderPtr &, PCItemIDList, bool) override { return false; }
    TPidlHolder Id;
};

// A tree that counts its resets.
class TCountingTree : public TSystemTreeView
{
public:
    using TSystemTreeView::TSystemTreeView;
    void Reset() override
    {
        ++Resets;
        TSystemTreeView::Reset();
    }
    int Resets = 0;
};

std::string Path(const QvlTest::TempTree &tree, const std::string &rel)
{
    return tree.path(rel);
}

} // namespace

class ShellControlsTest : public QObject
{
    Q_OBJECT
private slots:
    void folderDataFlagsSizeAndCount()
    {
        const long before = TFolderItemData::LiveCount();
        {
            TFolderItemData data;
            QCOMPARE(TFolderItemData::LiveCount(), before + 1);
            data.Attributes = 0xFFFFFFFF;
            QVERIFY(!data.ItemHasFlag(0));
            QVERIFY(data.ItemHasFlag(sfgaoFolder));
            data.Attributes = sfgaoLink;
            QVERIFY(!data.ItemHasFlag(sfgaoFolder | sfgaoHidden));
            data.FileSizeLow = 5;
            data.FileSizeHigh = 2;
            QCOMPARE(data.GetFileSize(), (std::uint64_t(2) << 32) + 5);
            data.RelativeID = MakeItemID("x"); // released with the data
        }
        QCOMPARE(TFolderItemData::LiveCount(), before);
    }

    void leakCheckRaisesWhileDataLives()
    {
        CheckFolderDataLeaks();
        auto data = std::make_unique<TFolderItemData>();
        QVERIFY_THROWS_EXCEPTION(ELeaking, CheckFolderDataLeaks());
        try {
            CheckFolderDataLeaks();
        } catch (const ELeaking &e) {
            QCOMPARE(std::string(e.what()), std::string("Memory Leak Detected.  Not all folder data was freed."));
        }
        data.reset();
        CheckFolderDataLeaks();
    }

    // Run by leakIsReportedAtProgramEnd in a process of its own.
    void leakingHelper()
    {
        if (!qEnvironmentVariableIsSet("QVL_LEAK_FOLDER_DATA"))
            QSKIP("only run as a helper process");
        new TFolderItemData; // never freed: the program end must report it
    }

    void leakIsReportedAtProgramEnd()
    {
        // The helper is this program, started through the link to its own
        // file. The path that link reads as is the file's path in the mount
        // table the program started in: inside a chroot, after the test's
        // own mount table was made, that path may lead nowhere.
        const QString self = QStringLiteral("/proc/self/exe");
        QProcess helper;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QVL_LEAK_FOLDER_DATA", "1");
        helper.setProcessEnvironment(env);
        helper.start(self, {"leakingHelper"});
        QVERIFY2(helper.waitForFinished(60000), qPrintable(helper.errorString()));
        QVERIFY(helper.readAllStandardError().contains("Memory Leak Detected.  Not all folder data was freed."));

        helper.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        helper.start(self, {"leakingHelper"});
        QVERIFY(helper.waitForFinished(60000));
        QVERIFY(!helper.readAllStandardError().contains("Memory Leak"));
    }

    void errorTexts()
    {
        QCOMPARE(std::string(ENoFolderData().what()), std::string("Could not get folder data."));
        QCOMPARE(std::string(ENoRootFolder().what()), std::string("Could not get the root folder."));
        QCOMPARE(std::string(EInvokeFailed(0x80004005u).what()), std::string("InvokeCommand failed. Result = $80004005"));
        QCOMPARE(std::string(ENoUIObject(0x1Fu).what()), std::string("Could not get UI object. Result = $1F"));
        QCOMPARE(ShellControlsMessage(10040), std::string(SErrorParsingMask));
    }

    void treesJoinAndLeaveTheList()
    {
        const std::size_t before = TCustomSystemTreeView::TreeViewList().size();
        {
            TSystemTreeView a, b;
            QCOMPARE(TCustomSystemTreeView::TreeViewList().size(), before + 2);
            QVERIFY(a.MainWindowHooked());
            QCOMPARE(a.ReadDelay(), std::uint16_t(500));
            QVERIFY(a.ChangeNow());
            QCOMPARE(a.TimerID(), 0);
        }
        QCOMPARE(TCustomSystemTreeView::TreeViewList().size(), before);
    }

    void siblingsLinkOnTheSameParentAndUnlinkWhenGone()
    {
        QWidget form;
        auto *tree = new TSystemTreeView(&form);
        auto *list = new TCountingList(&form);
        auto *combo = new TPathCombo(&form);
        QCOMPARE(tree->ListView(), list);
        QCOMPARE(list->TreeView(), static_cast<TCustomSystemTreeView *>(tree));
        QCOMPARE(tree->ComboBox(), combo);
        QCOMPARE(list->ComboBox(), combo);
        delete list;
        QVERIFY(!tree->ListView());
        QVERIFY(!combo->ListView());
    }

    void quickChangesGiveOneDelayedNotification()
    {
        QvlTest::TempTree temp;
        for (int i = 0; i < 5; ++i)
            QVERIFY(temp.createDir("d/" + std::to_string(i)));
        TSystemTreeView tree;
        TCountingList list;
        tree.SetListView(&list);
        tree.show();
        tree.SetSelection(Path(temp, "d"));
        QCOMPARE(tree.GetSelection(), Path(temp, "d"));
        QTRY_VERIFY(tree.TimerID() == 0);
        QTreeWidgetItem *parent = tree.Selected();
        tree.expandItem(parent);
        QCOMPARE(parent->childCount(), 5);

        // Five changes in a row: each one restarts the delay, none is passed
        // on before the delay's own tick.
        list.Notified = 0;
        for (int i = 0; i < 5; ++i) {
            tree.SetSelected(parent->child(i));
            QVERIFY(tree.TimerID() != 0);
            QCOMPARE(list.Notified, 0);
        }
        const int pending = tree.TimerID();
        QTimerEvent tick(pending);
        QCoreApplication::sendEvent(&tree, &tick);
        QCOMPARE(list.Notified, 1);
        QCOMPARE(tree.TimerID(), 0);
        // A late tick of the timer that was stopped changes nothing.
        QCoreApplication::sendEvent(&tree, &tick);
        QCOMPARE(list.Notified, 1);
    }

    void zeroDelayNotifiesEveryChangeAtOnce()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("d/a"));
        QVERIFY(temp.createDir("d/b"));
        TSystemTreeView tree;
        TCountingList list;
        tree.SetListView(&list);
        tree.SetReadDelay(0);
        tree.show();
        QVL_SELECT(tree, Path(temp, "d"));
        QTreeWidgetItem *parent = tree.Selected();
        tree.expandItem(parent);
        list.Notified = 0;
        tree.SetSelected(parent->child(0));
        QCOMPARE(list.Notified, 1);
        tree.SetSelected(parent->child(1));
        QCOMPARE(list.Notified, 2);
        QCOMPARE(tree.TimerID(), 0);
    }

    void firstChangeAfterCreationIsPassedOnAtOnce()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("d"));
        TSystemTreeView tree;
        TCountingList list;
        tree.SetListView(&list);
        tree.show();
        list.Notified = 0;
        tree.SetChangeNow(true);
        QVL_SELECT(tree, Path(temp, "d"));
        QVERIFY(list.Notified >= 1);
        QVERIFY(!tree.ChangeNow());
    }

    void delayTimerOfADestroyedTreeDoesNothing()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("d/a"));
        TCountingList list;
        {
            TSystemTreeView tree;
            tree.SetListView(&list);
            tree.show();
            QVL_SELECT(tree, Path(temp, "d"));
            tree.SetSelected(tree.Selected()->parent());
            QVERIFY(tree.TimerID() != 0);
            list.Notified = 0;
        }
        // The list forgot the tree, and the tree's pending delay went with it:
        // whatever is still queued finds nobody to notify.
        QVERIFY(!list.TreeView());
        QCoreApplication::processEvents();
        QCOMPARE(list.Notified, 0);
    }

    void comboSelectionReachesTheTree()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("x/y"));
        QWidget form;
        auto *tree = new TSystemTreeView(&form);
        auto *combo = new TPathCombo(&form);
        form.show();
        QVERIFY(GetDesktopFolder()->ParseDisplayName(nullptr, Path(temp, "x/y"), combo->Id));
        combo->NotifyLinkedControls(false);
        QCOMPARE(tree->GetSelection(), Path(temp, "x/y"));
    }

    void mountAndUnmountResetEveryTree()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("mnt"));
        TCountingTree a, b;
        a.show();
        b.show();
        auto c = std::make_unique<TCountingTree>();
        c->show();
        c.reset(); // a tree that goes leaves the others' hooks in place
        const int resetsA = a.Resets, resetsB = b.Resets;
        if (::mount("tmpfs", Path(temp, "mnt").c_str(), "tmpfs", 0, "size=1m") != 0)
            QSKIP(qPrintable(QString("cannot mount a tmpfs here: %1").arg(qt_error_string(errno))));
        QTRY_VERIFY_WITH_TIMEOUT(a.Resets > resetsA && b.Resets > resetsB, 5000);
        const int mountedA = a.Resets, mountedB = b.Resets;
        QCOMPARE(::umount(Path(temp, "mnt").c_str()), 0);
        QTRY_VERIFY_WITH_TIMEOUT(a.Resets > mountedA && b.Resets > mountedB, 5000);
    }
};

QVL_TEST_MAIN(ShellControlsTest)
#include "ShellControlsTest.moc"
