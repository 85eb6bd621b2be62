// Synchronised browsing of the two trees, the tree resets and the
// no-collapse rule, on the real window.
#include "MainFormFixture.h"
#include "QvlTestMain.h"
#include "TempTree.h"

#include "MountMonitor.h"

#include <QTimer>

using QvlTest::MainFormFixture;

class QvlMainSyncTest : public QObject
{
    Q_OBJECT

private:
    QvlTest::TempTree tree;

    static void Select(TSystemTreeView *view, const std::string &path) { view->SetSelection(path); }

private slots:
    void initTestCase()
    {
        for (const char *dir : {"c/Photos/2020", "e/Photos/2020", "c/Data/x", "d/Backup/x", "d/Backup/only-here", "same/a/b"})
            QVERIFY(tree.createDir(dir));
        QVERIFY(tree.createFile("c/file.txt", "x"));
    }

    void relativePosition_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("selection");
        QTest::addColumn<QString>("relative");
        QTest::newRow("subfolder") << "/Data/" << "/Data/Sub" << "Sub";
        QTest::newRow("deeper") << "/Data/" << "/Data/Sub/Deep" << "Sub/Deep";
        QTest::newRow("sibling") << "/Data/" << "/Other" << "../Other";
        QTest::newRow("the root") << "/Data/" << "/" << "../";
        QTest::newRow("the base itself") << "/Data/" << "/Data" << "../Data";
        QTest::newRow("below the root") << "/" << "/Data" << "Data";
        QTest::newRow("two levels up") << "/a/b/" << "/c" << "../../c";
        QTest::newRow("other drive") << "/Data/" << "/proc/self" << "/proc/self";
    }

    void relativePosition()
    {
        QFETCH(QString, base);
        QFETCH(QString, selection);
        QFETCH(QString, relative);
        QCOMPARE(QString::fromStdString(SyncRelativePath(selection.toStdString(), base.toStdString())), relative);
    }

    void mappedPathJoinsTheOtherBase()
    {
        QCOMPARE(SyncMappedPath("/c/Photos/2020", "/c/Photos/", "/e/Photos/"), std::string("/e/Photos/2020"));
        QCOMPARE(SyncMappedPath("/c/Photos", "/c/Photos/", "/e/Photos/"), std::string("/e/Photos/../Photos"));
        QCOMPARE(SyncMappedPath("/c/Data", "/c/Data/", "/d/Backup/"), std::string("/d/Backup/../Data"));
        QCOMPARE(SyncMappedPath("/x/y", "/same/", "/same/"), std::string("/x/y"));
    }

    void selectingOnOneSideSelectsTheSameRelativeFolder()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        Select(f.ui()->SourceTreeView, tree.path("c/Photos"));
        Select(f.ui()->TargetTreeView, tree.path("e/Photos"));
        f.ui()->SB_sync->trigger();
        QVERIFY(f.ui()->SB_sync->isChecked());
        QCOMPARE(f.form->FSyncSourceBase, tree.path("c/Photos/"));
        QCOMPARE(f.form->FSyncTargetBase, tree.path("e/Photos/"));

        Select(f.ui()->SourceTreeView, tree.path("c/Photos/2020"));
        QCOMPARE(f.ui()->TargetTreeView->Selection(), tree.path("e/Photos/2020"));
        QCOMPARE(f.ui()->EditTarget->text(), MainFormFixture::Q(tree.path("e/Photos/2020")));
        QCOMPARE(f.ui()->EditSource->text(), MainFormFixture::Q(tree.path("c/Photos/2020")));

        Select(f.ui()->SourceTreeView, tree.path("c/Photos"));
        QCOMPARE(f.ui()->TargetTreeView->Selection(), tree.path("e/Photos"));
        // And the other way round.
        Select(f.ui()->TargetTreeView, tree.path("e/Photos/2020"));
        QCOMPARE(f.ui()->SourceTreeView->Selection(), tree.path("c/Photos/2020"));
        QVERIFY(f.boxes.empty());
    }

    void oneBoxGivesBothBases()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        Select(f.ui()->SourceTreeView, tree.path("same"));
        QVERIFY(f.ui()->EditTarget->text().isEmpty());
        f.ui()->SB_sync->trigger();
        QCOMPARE(f.form->FSyncSourceBase, tree.path("same/"));
        QCOMPARE(f.form->FSyncTargetBase, tree.path("same/"));
        Select(f.ui()->SourceTreeView, tree.path("same/a/b"));
        QCOMPARE(f.ui()->TargetTreeView->Selection(), tree.path("same/a/b"));
        Select(f.ui()->TargetTreeView, tree.path("c/Data"));
        QCOMPARE(f.ui()->SourceTreeView->Selection(), tree.path("c/Data"));
    }

    void failedMappingAsks_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }

    void failedMappingAsks()
    {
        QFETCH(bool, yes);
        MainFormFixture f;
        QVERIFY(f.exposed);
        Select(f.ui()->SourceTreeView, tree.path("c/Data"));
        Select(f.ui()->TargetTreeView, tree.path("d/Backup"));
        f.ui()->SB_sync->trigger();
        Select(f.ui()->SourceTreeView, tree.path("c/Data/x"));
        QCOMPARE(f.ui()->TargetTreeView->Selection(), tree.path("d/Backup/x"));
        QVERIFY(f.boxes.empty());

        f.answer = yes ? QMessageBox::Yes : QMessageBox::No;
        Select(f.ui()->SourceTreeView, tree.path("c/Data"));
        QCOMPARE(int(f.boxes.size()), 1);
        QCOMPARE(f.boxes[0].caption, QString("Sync Error"));
        QCOMPARE(f.boxes[0].text, "Cannot sync using Target \"" + MainFormFixture::Q(tree.path("d/Backup/x"))
                                      + "\" \nDisable syncronization and change Source?  ");
        QCOMPARE(f.boxes[0].icon, int(QMessageBox::Information));
        QCOMPARE(f.boxes[0].buttons, int(QMessageBox::Yes | QMessageBox::No));
        QCOMPARE(f.ui()->TargetTreeView->Selection(), tree.path("d/Backup/x"));
        if (yes) {
            QVERIFY(!f.ui()->SB_sync->isChecked());
            QCOMPARE(f.ui()->SourceTreeView->Selection(), tree.path("c/Data"));
            QCOMPARE(f.ui()->EditSource->text(), MainFormFixture::Q(tree.path("c/Data")));
        } else {
            QVERIFY(f.ui()->SB_sync->isChecked());
            QCOMPARE(f.ui()->SourceTreeView->Selection(), tree.path("c/Data/x"));
            QCOMPARE(f.ui()->EditSource->text(), MainFormFixture::Q(tree.path("c/Data/x")));
        }
    }

    // Going back to the base itself after "No" asks nothing more, although
    // the base would not map by itself.
    void targetSideAsksAboutTheSource()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        Select(f.ui()->SourceTreeView, tree.path("c/Data"));
        Select(f.ui()->TargetTreeView, tree.path("d/Backup"));
        f.ui()->SB_sync->trigger();
        f.answer = QMessageBox::No;
        Select(f.ui()->TargetTreeView, tree.path("d/Backup/only-here"));
        QCOMPARE(int(f.boxes.size()), 1);
        QCOMPARE(f.boxes[0].text, "Cannot sync using Source \"" + MainFormFixture::Q(tree.path("c/Data"))
                                      + "\" \nDisable syncronization and change Target?  ");
        QCOMPARE(f.ui()->TargetTreeView->Selection(), tree.path("d/Backup"));
    }

    void aBoxThatIsNoFolderCannotBeABase()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        const QString file = MainFormFixture::Q(tree.path("c/file.txt"));
        f.ui()->EditSource->setText(file);
        f.ui()->SB_sync->trigger();
        QCOMPARE(int(f.boxes.size()), 1);
        QCOMPARE(f.boxes[0].caption, QString("Sync Error"));
        QCOMPARE(f.boxes[0].text, "Cannot sync using Source \"" + file + "\"   \nMust be a legal directory.  ");
        QCOMPARE(f.boxes[0].icon, int(QMessageBox::Information));
        QVERIFY(!f.ui()->SB_sync->isChecked());
    }

    void syncIsNotConsultedOnTheVerifyView()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        Select(f.ui()->SourceTreeView, tree.path("c/Photos"));
        Select(f.ui()->TargetTreeView, tree.path("e/Photos"));
        f.ui()->SB_sync->trigger();
        f.form->ShowVerifyView(true);
        Select(f.ui()->SourceTreeView, tree.path("c/Photos/2020"));
        QCOMPARE(f.ui()->TargetTreeView->Selection(), tree.path("e/Photos"));
    }

    void deviceChangesResetTheTreesOnceAfterTheFirst()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        Select(f.ui()->SourceTreeView, tree.path("c/Photos"));
        QTimer *timer = f.form->TimerTreeReset;
        QVERIFY(!timer->isActive());
        emit TMountMonitor::Instance()->MountsChanged(); // a mount or unmount
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 1500);
        const int first = timer->remainingTime();
        QTRY_VERIFY_WITH_TIMEOUT(timer->remainingTime() < first - 100, 3000);
        f.form->DeviceChange(); // does not restart the wait
        QVERIFY(timer->remainingTime() < first - 100);
        QTRY_VERIFY_WITH_TIMEOUT(!timer->isActive(), 3000);
        QCOMPARE(f.ui()->SourceTreeView->Selection(), tree.path("c/Photos"));
    }

    void refreshKeepsTheSelections()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        Select(f.ui()->SourceTreeView, tree.path("c/Photos"));
        Select(f.ui()->TargetTreeView, tree.path("e/Photos/2020"));
        QCOMPARE(f.ui()->MenuRefreshDirectories->shortcut(), QKeySequence(Qt::Key_F5));
        f.ui()->MenuRefreshDirectories->trigger();
        QCOMPARE(f.ui()->SourceTreeView->Selection(), tree.path("c/Photos"));
        QCOMPARE(f.ui()->TargetTreeView->Selection(), tree.path("e/Photos/2020"));
    }

    void theFirstNodeDoesNotCollapseWhileSelected()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        TSystemTreeView *view = f.ui()->SourceTreeView;
        QTreeWidgetItem *first = view->FirstNode();
        QVERIFY(first);
        f.form->activateWindow();
        QTRY_VERIFY(f.form->isActiveWindow());
        view->SetSelected(first);
        bool allow = true;
        f.form->SourceTreeViewCollapsing(first, allow);
        QVERIFY(!allow);
        QVERIFY(first->isExpanded());
        view->FullCollapse();
        QVERIFY(first->isExpanded());
        Select(view, tree.path("c"));
        allow = true;
        f.form->SourceTreeViewCollapsing(first, allow);
        QVERIFY(allow);
    }

    void autoExpandFollowsTheMenu()
    {
        MainFormFixture f;
        QVERIFY(f.ui()->MenuAutoExpand->isChecked());
        QVERIFY(f.ui()->SourceTreeView->AutoExpand());
        f.ui()->MenuAutoExpand->trigger();
        QVERIFY(!f.ui()->SourceTreeView->AutoExpand());
        QVERIFY(!f.ui()->TargetTreeView->AutoExpand());
        f.ui()->MenuAutoExpand->trigger();
        QVERIFY(f.ui()->TargetTreeView->AutoExpand());
    }
};

QVL_TEST_MAIN(QvlMainSyncTest)
#include "QvlMainSyncTest.moc"
