// Synchronised browsing of the two trees, the folder menu of each, the tree
// resets and the no-collapse rule, on the real window.
#include "tests/app/MainFormFixture.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include "tests/foldertree/MenuTestHelpers.h"
#include "tests/foldertree/TreeTestHelpers.h"
#include "tests/platform/TmpfsMount.h"
#include "tests/common/RemoveTree.h"

#include "platform/MountMonitor.h"
#include "platform/Trash.h"

#include <QDir>
#include <QInputDialog>
#include <QStatusBar>
#include <QTimer>

using QvlTest::MainFormFixture;
using namespace QvlTest;

class QvlMainSyncTest : public QObject
{
    Q_OBJECT

private:
    QvlTest::TempTree tree;

    static void Select(TSystemTreeView *view, const std::string &path) { view->SetSelection(path); }

    // The child `name` of the selected node, opened and scrolled to.
    static QTreeWidgetItem *ShownChild(TSystemTreeView *view, const QString &name)
    {
        view->expandItem(view->Selected());
        QTreeWidgetItem *node = ChildNamed(view->Selected(), name);
        if (node)
            view->scrollToItem(node);
        return node;
    }

    // Both trees following each other from c/Photos and e/Photos.
    void SyncPhotos(MainFormFixture &f)
    {
        Select(f.ui()->SourceTreeView, tree.path("c/Photos"));
        Select(f.ui()->TargetTreeView, tree.path("e/Photos"));
        f.ui()->SB_sync->trigger();
        QVERIFY(f.ui()->SB_sync->isChecked());
    }

private slots:
    void initTestCase()
    {
        for (const char *dir : {"c/Photos/2020", "e/Photos/2020", "c/Data/x", "d/Backup/x", "d/Backup/only-here",
                                "same/a/b", "mnt", "usb"})
            QVERIFY(tree.createDir(dir));
        QVERIFY(tree.createFile("c/file.txt", "x"));
        QVERIFY(tree.createFile("e/file.txt", "x"));
        QVERIFY(tree.createFile("hidden-by-mount/file.txt", "x"));
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
        // Another drive than the base: no place at all.
        QCOMPARE(SyncMappedPath("/proc/self", "/Data/", "/Backup/"), std::string());
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

    // A selection on another drive than the base joins the other base as a
    // legal path, which may exist; it must still not map.
    void selectionOnAnotherDriveNeverMaps()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        QvlTest::TmpfsMount usb(tree.path("usb"));
        if (!usb.Mounted())
            QSKIP(usb.Reason());
        QVERIFY(f.MountChangeHeard() && f.TreeResetDone());
        QVERIFY(tree.createDir("usb/x"));
        QVERIFY(tree.createDir("d/Backup" + tree.path("usb/x")));
        Select(f.ui()->SourceTreeView, tree.path("c/Data"));
        Select(f.ui()->TargetTreeView, tree.path("d/Backup"));
        f.ui()->SB_sync->trigger();
        f.answer = QMessageBox::No;
        Select(f.ui()->SourceTreeView, tree.path("usb/x"));
        QCOMPARE(int(f.boxes.size()), 1);
        QCOMPARE(f.boxes[0].caption, QString("Sync Error"));
        QCOMPARE(f.boxes[0].text, "Cannot sync using Target \"" + MainFormFixture::Q(tree.path("d/Backup"))
                                      + "\" \nDisable syncronization and change Source?  ");
        QCOMPARE(f.ui()->TargetTreeView->Selection(), tree.path("d/Backup"));
        QCOMPARE(f.ui()->SourceTreeView->Selection(), tree.path("c/Data"));
        QVERIFY(usb.Unmount());
        QVERIFY(f.MountChangeHeard() && f.TreeResetDone());
    }

    // A tree rebuilt after a mount anywhere, or on F5, shows the same
    // folders again; what the boxes hold (files too) and Start stay.
    void treeResetsKeepTheBoxes_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("mount");
        QTest::newRow("files, mount and unmount") << "c/file.txt" << "e/file.txt" << true;
        QTest::newRow("folders, mount and unmount") << "c/Photos" << "e/Photos" << true;
        QTest::newRow("files, F5") << "c/file.txt" << "e/file.txt" << false;
    }

    void treeResetsKeepTheBoxes()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(bool, mount);
        MainFormFixture f;
        QVERIFY(f.exposed);
        const QString sourcePath = MainFormFixture::Q(tree.path(source.toStdString()));
        const QString targetPath = MainFormFixture::Q(tree.path(target.toStdString()));
        for (QLineEdit *edit : {f.ui()->EditSource, f.ui()->EditTarget}) {
            edit->setFocus();
            edit->setText(edit == f.ui()->EditSource ? sourcePath : targetPath);
            QTest::keyClick(edit, Qt::Key_Return);
        }
        QVERIFY(f.boxes.empty());
        QVERIFY(f.ui()->StartBtn->isEnabled());
        const std::string sourceTree = f.ui()->SourceTreeView->Selection();
        const std::string targetTree = f.ui()->TargetTreeView->Selection();
        const std::string sourceListed = f.ui()->SourceFileListBox->FileName();

        auto unchanged = [&] {
            QCOMPARE(f.ui()->EditSource->text(), sourcePath);
            QCOMPARE(f.ui()->EditTarget->text(), targetPath);
            QVERIFY(f.ui()->StartBtn->isEnabled());
            QCOMPARE(f.ui()->SourceTreeView->Selection(), sourceTree);
            QCOMPARE(f.ui()->TargetTreeView->Selection(), targetTree);
            QCOMPARE(f.ui()->SourceFileListBox->FileName(), sourceListed);
        };
        if (!mount) {
            f.ui()->MenuRefreshDirectories->trigger();
            unchanged();
            return;
        }
        QvlTest::TmpfsMount tmpfs(tree.path("mnt"));
        if (!tmpfs.Mounted())
            QSKIP(tmpfs.Reason());
        for (int step = 0; step < 2; ++step) { // mounted, then unmounted
            if (step == 1)
                QVERIFY(tmpfs.Unmount());
            // The trees rebuild at once, the window resets them once more later.
            QVERIFY(f.MountChangeHeard());
            unchanged();
            QVERIFY(f.TreeResetDone());
            unchanged();
        }
    }

    // Only when what a box names is gone does it follow its tree.
    void aBoxWhosePathWentFollowsItsTree()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        const QString file = MainFormFixture::Q(tree.path("hidden-by-mount/file.txt"));
        const QString other = MainFormFixture::Q(tree.path("e/file.txt"));
        f.ui()->EditSource->setText(file);
        QTest::keyClick(f.ui()->EditSource, Qt::Key_Return);
        f.ui()->EditTarget->setText(other);
        QTest::keyClick(f.ui()->EditTarget, Qt::Key_Return);
        QVERIFY(f.ui()->StartBtn->isEnabled());
        QvlTest::TmpfsMount tmpfs(tree.path("hidden-by-mount"));
        if (!tmpfs.Mounted())
            QSKIP(tmpfs.Reason());
        QVERIFY(f.MountChangeHeard() && f.TreeResetDone());
        // The file is hidden: the box shows the folder its tree shows, and
        // a folder against a file cannot start.
        QCOMPARE(f.ui()->EditSource->text(), MainFormFixture::Q(tree.path("hidden-by-mount")));
        QCOMPARE(f.ui()->EditTarget->text(), other);
        QVERIFY(!f.ui()->StartBtn->isEnabled());
        QCOMPARE(f.ui()->SourceFileListBox->Count(), 0);
        // The file back: the box keeps the folder that was put there, and
        // its list shows the file again.
        QVERIFY(tmpfs.Unmount());
        QVERIFY(f.MountChangeHeard() && f.TreeResetDone());
        QCOMPARE(f.ui()->EditSource->text(), MainFormFixture::Q(tree.path("hidden-by-mount")));
        QCOMPARE(f.ui()->SourceFileListBox->Count(), 1);
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
        view->OnCollapsing(view, first, allow);
        QVERIFY(!allow);
        QVERIFY(first->isExpanded());
        view->FullCollapse();
        QVERIFY(first->isExpanded());
        Select(view, tree.path("c"));
        allow = true;
        view->OnCollapsing(view, first, allow);
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

    // ------------------------------------------------------------ the folder menu

    // A right click selects the folder, both trees follow, and then the
    // folder's commands show, without Rename (the trees edit no names), with
    // their hints in the status line.
    void aRightClickWhileSyncingShowsTheFoldersMenu()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        SyncPhotos(f);
        TSystemTreeView *source = f.ui()->SourceTreeView;
        QTreeWidgetItem *node = ShownChild(source, "2020");
        QVERIFY(node);
        QStringList verbs;
        std::string targetDuringMenu;
        QString hint;
        TWhenShown menu(PopupMenu, [&](QWidget *w) {
            auto *m = static_cast<QMenu *>(w);
            verbs = VerbsOf(m);
            targetDuringMenu = f.ui()->TargetTreeView->Selection();
            Hover(m, "delete");
            hint = f.form->statusBar()->currentMessage();
            QTest::keyClick(m, Qt::Key_Escape);
        });
        RequestMenu(*source, node);
        QVERIFY(menu.Ran());
        QCOMPARE(targetDuringMenu, tree.path("e/Photos/2020"));
        QVERIFY(verbs.contains("delete"));
        QVERIFY(verbs.contains("newfolder"));
        QVERIFY(!verbs.contains("rename"));
        QCOMPARE(hint, QString("Move to the trash"));
        QCOMPARE(f.form->statusBar()->currentMessage(), QString());
        QCOMPARE(f.ui()->EditSource->text(), MainFormFixture::Q(tree.path("c/Photos/2020")));
        QCOMPARE(f.ui()->EditTarget->text(), MainFormFixture::Q(tree.path("e/Photos/2020")));
        QVERIFY(f.boxes.empty());
        // Nothing starts editing a name here, not even from code.
        source->editItem(node, 0);
        QVERIFY(source->viewport()->findChildren<QLineEdit *>().isEmpty());
    }

    // The folder clicked cannot be synchronised and the user keeps the
    // synchronisation: the tree goes back, and no menu comes for a folder
    // that is no longer chosen.
    void aRightClickTheSyncTurnsBackShowsNoMenu()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        TSystemTreeView *source = f.ui()->SourceTreeView;
        Select(source, tree.path("c/Data"));
        Select(f.ui()->TargetTreeView, tree.path("d/Backup"));
        f.ui()->SB_sync->trigger();
        Select(source, tree.path("c/Data/x"));
        f.answer = QMessageBox::No;
        QTreeWidgetItem *data = source->Selected()->parent();
        TWhenShown menu(PopupMenu, [](QWidget *w) { QTest::keyClick(w, Qt::Key_Escape); });
        RequestMenu(*source, data);
        QCOMPARE(int(f.boxes.size()), 1);
        QVERIFY(!menu.Ran());
        QCOMPARE(source->Selection(), tree.path("c/Data/x"));
        QCOMPARE(f.ui()->EditSource->text(), MainFormFixture::Q(tree.path("c/Data/x")));
        QCOMPARE(f.ui()->TargetTreeView->Selection(), tree.path("d/Backup/x"));
    }

    // The selected folder goes to the trash: its tree selects the parent,
    // and the box and the other tree follow as after any selection.
    void deletingTheSelectedFolderMovesBoxAndOtherTreeToTheParent()
    {
        QVERIFY(tree.createFile("c/Photos/doomed/p.jpg", "p"));
        QVERIFY(tree.createDir("e/Photos/doomed"));
        MainFormFixture f;
        QVERIFY(f.exposed);
        SyncPhotos(f);
        TSystemTreeView *source = f.ui()->SourceTreeView;
        QTreeWidgetItem *doomed = ShownChild(source, "doomed");
        QVERIFY(doomed);
        TWhenShown menu(PopupMenu, [](QWidget *w) { Pick(static_cast<QMenu *>(w), "delete"); });
        RequestMenu(*source, doomed);
        QVERIFY(menu.Ran());
        QVERIFY(!Exists(tree.path("c/Photos/doomed")));
        QVERIFY(Exists(HomeTrashDir() + "/files/doomed/p.jpg"));
        QVERIFY(Exists(tree.path("e/Photos/doomed")));
        QCOMPARE(source->Selection(), tree.path("c/Photos"));
        QCOMPARE(f.ui()->EditSource->text(), MainFormFixture::Q(tree.path("c/Photos")));
        QCOMPARE(f.ui()->TargetTreeView->Selection(), tree.path("e/Photos"));
        QCOMPARE(f.ui()->EditTarget->text(), MainFormFixture::Q(tree.path("e/Photos")));
        QVERIFY(f.boxes.empty());
        RemoveTree(HomeTrashDir());
        QVERIFY(QDir().rmdir(MainFormFixture::Q(tree.path("e/Photos/doomed"))));
    }

    void aNewFolderFromTheMenuIsSelectedAndInTheBox()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        TSystemTreeView *target = f.ui()->TargetTreeView;
        Select(target, tree.path("d/Backup"));
        TWhenShown prompt(ModalDialog, [](QWidget *w) {
            auto *dialog = qobject_cast<QInputDialog *>(w);
            QVERIFY(dialog);
            dialog->setTextValue("made by menu");
            dialog->accept();
        });
        TWhenShown menu(PopupMenu, [](QWidget *w) { Pick(static_cast<QMenu *>(w), "newfolder"); });
        RequestMenu(*target, target->Selected());
        QVERIFY(menu.Ran());
        QVERIFY(prompt.Ran());
        QCOMPARE(target->Selection(), tree.path("d/Backup/made by menu"));
        QCOMPARE(f.ui()->EditTarget->text(), MainFormFixture::Q(tree.path("d/Backup/made by menu")));
        QVERIFY(QDir().rmdir(MainFormFixture::Q(tree.path("d/Backup/made by menu"))));
    }
};

QVL_TEST_MAIN(QvlMainSyncTest)
#include "QvlMainSyncTest.moc"
