// The folder tree on temporary trees: lazy opening, buttons, order,
// selection by path, reset, waiting selections, other roots, masks, the
// toolkit events the main window uses, and that every node's data goes.
#include "controls/foldertree/FolderItemData.h"
#include "controls/foldertree/SystemTreeView.h"

#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "tests/foldertree/TreeTestHelpers.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include <unistd.h>

using namespace QvlTest;

class SystemTreeViewTest : public QObject
{
    Q_OBJECT
private:
    long m_liveData = 0;

private slots:
    void init() { m_liveData = TFolderItemData::LiveCount(); }
    // Every node's data is released with its node.
    void cleanup() { QCOMPARE(TFolderItemData::LiveCount(), m_liveData); }

    void desktopRootOpensLazily()
    {
        TSystemTreeView tree;
        QVERIFY(!tree.HasWindow());
        QCOMPARE(tree.topLevelItemCount(), 0);
        tree.show();
        QVERIFY(tree.HasWindow());
        QCOMPARE(tree.topLevelItemCount(), 1);
        QTreeWidgetItem *root = tree.FirstNode();
        QVERIFY(tree.IsFirstNode(root));
        QCOMPARE(root->text(0), QString("Desktop"));
        QVERIFY(root->isExpanded());
        QCOMPARE(ChildTexts(root), (QStringList{"Home", "Computer"}));
        QTreeWidgetItem *computer = root->child(1);
        QVERIFY(!tree.IsFirstNode(computer));
        QCOMPARE(computer->childCount(), 0); // not listed before it opens
        QCOMPARE(computer->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
        QVERIFY(!tree.GetNodeData(computer)->Enumerated);
        QVERIFY(!root->icon(0).isNull());
        QVERIFY(!computer->icon(0).isNull());
        tree.expandItem(computer);
        QVERIFY(tree.GetNodeData(computer)->Enumerated);
        QVERIFY(computer->childCount() >= 1);
        QCOMPARE(computer->child(0)->text(0), QString("/"));
        QCOMPARE(tree.Version(), std::string("TSystemTreeView v0.98.5 Beta"));
        tree.SetVersion("other");
        QCOMPARE(tree.Version(), std::string("TSystemTreeView v0.98.5 Beta"));
    }

    void folderWithoutSubfoldersLosesItsButtonOnFirstOpening()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("p/onlyhidden/.h"));
        QVERIFY(temp.createFile("p/onlyfiles/f.txt"));
        TSystemTreeView tree;
        tree.SetShowHiddenDirs(false);
        tree.show();
        QVL_SELECT(tree, temp.path("p"));
        QTreeWidgetItem *p = tree.Selected();
        tree.expandItem(p);
        QTreeWidgetItem *hiddenOnly = ChildNamed(p, "onlyhidden");
        QTreeWidgetItem *filesOnly = ChildNamed(p, "onlyfiles");
        QVERIFY(hiddenOnly && filesOnly);
        QCOMPARE(filesOnly->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
        QCOMPARE(hiddenOnly->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
        int populated = 0;
        tree.OnPopulated = [&](TSystemTreeView *, QTreeWidgetItem *) { ++populated; };
        tree.expandItem(hiddenOnly);
        QVERIFY(!hiddenOnly->isExpanded());
        QCOMPARE(hiddenOnly->childCount(), 0);
        QCOMPARE(hiddenOnly->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
        QCOMPARE(populated, 0);
    }

    void folderThatCannotBeListedLosesItsButtonQuietly()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("a/gone/c"));
        TSystemTreeView tree;
        tree.show();
        QVL_SELECT(tree, temp.path("a"));
        tree.expandItem(tree.Selected());
        QTreeWidgetItem *gone = ChildNamed(tree.Selected(), "gone");
        QCOMPARE(gone->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
        QVERIFY(QDir(Q(temp.path("a/gone"))).removeRecursively());
        tree.expandItem(gone); // no message: the tree just stays as it is
        QVERIFY(!gone->isExpanded());
        QCOMPARE(gone->childCount(), 0);
        QCOMPARE(gone->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
    }

    void childrenInNameOrder()
    {
        QvlTest::TempTree temp;
        for (const char *name : {"b", "C", "a", "B2", "_x"})
            QVERIFY(temp.createDir(std::string("p/") + name));
        TSystemTreeView tree;
        tree.show();
        QVL_SELECT(tree, temp.path("p"));
        tree.expandItem(tree.Selected());
        QCOMPARE(ChildTexts(tree.Selected()), (QStringList{"_x", "a", "b", "B2", "C"}));
    }

    void selectionByPath_data()
    {
        QTest::addColumn<QString>("select");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("own"); // the tree has a node for the path itself
        QTest::newRow("folder") << "a/b" << "a/b" << true;
        QTest::newRow("folder with slash") << "a/b/" << "a/b" << true;
        QTest::newRow("file selects its folder") << "a/b/f.txt" << "a/b" << false;
        QTest::newRow("missing leaves selection") << "a/missing" << "a" << false;
        QTest::newRow("empty does nothing") << "" << "a" << false;
        QTest::newRow("hidden folder not shown") << "a/.h/deep" << "a" << false;
    }
    void selectionByPath()
    {
        QFETCH(QString, select);
        QFETCH(QString, expected);
        QFETCH(bool, own);
        QvlTest::TempTree temp;
        QVERIFY(temp.createFile("a/b/f.txt"));
        QVERIFY(temp.createDir("a/.h/deep"));
        TSystemTreeView tree;
        tree.SetShowHiddenDirs(false);
        tree.show();
        const std::string path = select.isEmpty() ? std::string() : temp.path(select.toStdString());
        QVL_SELECT(tree, temp.path("a"));
        tree.SetSelection(path);
        QCOMPARE(tree.GetSelection(), temp.path(expected.toStdString()));
        QCOMPARE(tree.Directory(), tree.Selection());
        // Asked for exactly, only the path's own node is selected; else the
        // selection stays.
        QVL_SELECT(tree, temp.path("a"));
        QCOMPARE(tree.SetSelectionExactly(path), own);
        QCOMPARE(tree.GetSelection(), temp.path(own ? expected.toStdString() : "a"));
    }

    void folderMadeAfterItsParentWasListedIsSelected_data()
    {
        QTest::addColumn<QString>("listed"); // selected and opened first
        QTest::addColumn<QString>("made");   // made after that
        QTest::newRow("beside listed folders") << "p" << "p/new";
        QTest::newRow("first subfolder of a folder listed empty") << "p/empty" << "p/empty/sub";
        QTest::newRow("two new levels") << "p" << "p/new/deeper";
    }
    void folderMadeAfterItsParentWasListedIsSelected()
    {
        QFETCH(QString, listed);
        QFETCH(QString, made);
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("p/old"));
        QVERIFY(temp.createDir("p/empty"));
        TSystemTreeView tree;
        // No folder watching: only the selection itself may find what is new.
        tree.SetChangeNow(false);
        tree.SetReadDelay(60000);
        tree.show();
        QVL_SELECT(tree, temp.path(listed.toStdString()));
        tree.expandItem(tree.Selected());
        QVERIFY(tree.GetNodeData(tree.Selected())->Enumerated);
        QVERIFY(!tree.WatchThread());
        QVERIFY(temp.createDir(made.toStdString()));
        tree.SetSelection(temp.path(made.toStdString()));
        QCOMPARE(tree.GetSelection(), temp.path(made.toStdString()));
        // The folders listed before are still there, in order.
        QVERIFY(tree.SetSelectionExactly(temp.path("p/old")));
        QTreeWidgetItem *p = tree.Selected()->parent();
        QStringList sorted = ChildTexts(p);
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(ChildTexts(p), sorted);
    }

    void resetMarksOnlyItsOwnSelectionChanges()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("a/b"));
        TSystemTreeView tree;
        tree.show();
        QVL_SELECT(tree, temp.path("a/b"));
        QStringList seen;
        tree.OnChange = [&](TSystemTreeView *sender, QTreeWidgetItem *) {
            seen << (sender->Resetting() ? "reset" : "choice");
        };
        tree.Reset();
        QVERIFY(!tree.Resetting());
        QCOMPARE(seen, (QStringList{"reset", "reset"})); // cleared, then put back
        QCOMPARE(tree.GetSelection(), temp.path("a/b"));
        seen.clear();
        QVL_SELECT(tree, temp.path("a"));
        QCOMPARE(seen, QStringList{"choice"});
    }

    void selectionOnComputerHasNoPath()
    {
        TSystemTreeView tree;
        tree.show();
        QCOMPARE(ChildTexts(tree.FirstNode()), (QStringList{"Home", "Computer"}));
        tree.SetSelected(tree.FirstNode()->child(1));
        QCOMPARE(tree.Selected()->text(0), QString("Computer"));
        QCOMPARE(tree.GetSelection(), std::string());
        QCOMPARE(tree.GetNodePath(tree.FirstNode()), std::string());
        tree.SetSelected(tree.FirstNode()->child(0));
        QCOMPARE(tree.GetSelection(), QFile::encodeName(QDir::homePath()).toStdString());
    }

    void resetKeepsSelectionAndItsOpening()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("a/b/c"));
        TSystemTreeView tree;
        tree.show();
        QVL_SELECT(tree, temp.path("a/b"));
        QTreeWidgetItem *before = tree.Selected();
        tree.expandItem(before);
        QVERIFY(before->isExpanded());
        tree.Reset();
        QCOMPARE(tree.GetSelection(), temp.path("a/b"));
        QVERIFY(tree.Selected()->isExpanded());
        QCOMPARE(ChildTexts(tree.Selected()), QStringList{"c"});

        tree.collapseItem(tree.Selected());
        tree.Reset();
        QCOMPARE(tree.GetSelection(), temp.path("a/b"));
        QVERIFY(!tree.Selected()->isExpanded());
    }

    void hiddenFoldersFollowTheSettingAtReset()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("a/.secret"));
        QVERIFY(temp.createDir("a/plain"));
        TSystemTreeView tree;
        tree.SetShowHiddenDirs(false);
        tree.show();
        QVL_SELECT(tree, temp.path("a"));
        tree.expandItem(tree.Selected());
        QCOMPARE(ChildTexts(tree.Selected()), QStringList{"plain"});
        tree.SetShowHiddenDirs(true);
        tree.Reset();
        QCOMPARE(ChildTexts(tree.Selected()), (QStringList{".secret", "plain"}));
        tree.SetSelection(temp.path("a/.secret"));
        QCOMPARE(tree.GetSelection(), temp.path("a/.secret"));
    }

    void selectionBeforeTheWindowWaitsForIt()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("w/x"));
        TSystemTreeView tree;
        tree.SetSelection(temp.path("w/x"));
        QCOMPARE(tree.GetSelection(), std::string()); // no window yet
        tree.Reset();                                  // nothing without a window
        QCOMPARE(tree.topLevelItemCount(), 0);
        tree.show();
        QCOMPARE(tree.GetSelection(), temp.path("w/x"));
    }

    void recreatingTheWindowKeepsTheSelection()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("r/s"));
        TSystemTreeView tree;
        tree.show();
        tree.SetSelection(temp.path("r/s"));
        tree.RecreateWnd();
        QCOMPARE(tree.GetSelection(), temp.path("r/s"));
    }

    void drivesRootHoldsTheVolumes()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("v/w"));
        TSystemTreeView tree;
        tree.SetRootFolder(rfDrives);
        tree.show();
        QVERIFY(tree.FirstNode());
        QCOMPARE(tree.FirstNode()->text(0), QString("Computer"));
        QVERIFY(tree.FirstNode()->childCount() >= 1);
        QCOMPARE(tree.FirstNode()->child(0)->text(0), QString("/"));
        QVL_SELECT(tree, temp.path("v/w"));
        QCOMPARE(tree.GetSelection(), temp.path("v/w"));
        tree.expandItem(tree.Selected());
        tree.Reset(); // the kept selection skips the Computer item
        QCOMPARE(tree.GetSelection(), temp.path("v/w"));

        tree.SetRootFolder(rfFileSystem);
        tree.SetSelection(temp.path("v"));
        QCOMPARE(tree.GetSelection(), temp.path("v"));
    }

    void customRootWithCaption()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("c/d/e"));
        TSystemTreeView tree;
        tree.SetRootFolder(rfCustom);
        tree.SetCustomDir(temp.path("c"));
        tree.SetCustomDirCaption("My Root");
        tree.show();
        QVERIFY(tree.FirstNode());
        QCOMPARE(tree.FirstNode()->text(0), QString("My Root"));
        QCOMPARE(ChildTexts(tree.FirstNode()), QStringList{"d"});
        tree.SetSelection(temp.path("c/d/e"));
        QCOMPARE(tree.GetSelection(), temp.path("c/d/e"));
        tree.SetSelection("My Root/d");
        QCOMPARE(tree.GetSelection(), temp.path("c/d"));
        tree.SetCustomDirCaption("Renamed");
        QCOMPARE(tree.FirstNode()->text(0), QString("Renamed"));

        tree.SetCustomDir(temp.path("nothing-here"));
        QCOMPARE(tree.topLevelItemCount(), 0); // a root that cannot be found
        tree.SetSelection(temp.path("c"));     // an empty tree drops it
        QCOMPARE(tree.GetSelection(), std::string());
    }

    void filesShownThroughTheMask()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createFile("m/keep.txt"));
        QVERIFY(temp.createFile("m/drop.bin"));
        QVERIFY(temp.createDir("m/folder.bin"));
        QVERIFY(temp.createFile("m/justfiles/x.txt"));
        TSystemTreeView tree;
        tree.SetShowFiles(true);
        tree.SetFileMask("*.TXT");
        tree.show();
        QVL_SELECT(tree, temp.path("m"));
        tree.expandItem(tree.Selected());
        QCOMPARE(ChildTexts(tree.Selected()), (QStringList{"folder.bin", "justfiles", "keep.txt"}));
        QTreeWidgetItem *justFiles = ChildNamed(tree.Selected(), "justfiles");
        QCOMPARE(justFiles->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
        tree.SetSelection(temp.path("m/keep.txt"));
        QCOMPARE(tree.GetSelection(), temp.path("m/keep.txt"));
    }

    void collapsingCanBeRefused()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("a/b"));
        TSystemTreeView tree;
        tree.show();
        QVL_SELECT(tree, temp.path("a"));
        QTreeWidgetItem *a = tree.Selected();
        tree.expandItem(a);
        bool allow = false;
        int asked = 0, collapsed = 0;
        tree.OnCollapsing = [&](TSystemTreeView *sender, QTreeWidgetItem *node, bool &allowCollapse) {
            QCOMPARE(sender, &tree);
            QCOMPARE(node, a);
            ++asked;
            allowCollapse = allow;
        };
        tree.OnCollapsed = [&](TSystemTreeView *, QTreeWidgetItem *) { ++collapsed; };
        tree.collapseItem(a);
        QVERIFY(a->isExpanded());
        QCOMPARE(asked, 1);
        QCOMPARE(collapsed, 0);
        allow = true;
        tree.collapseItem(a);
        QVERIFY(!a->isExpanded());
        QCOMPARE(collapsed, 1);
    }

    void expandingCanBeRefused()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("a/b"));
        TSystemTreeView tree;
        tree.show();
        QVL_SELECT(tree, temp.path("a"));
        tree.OnExpanding = [](TSystemTreeView *, QTreeWidgetItem *, bool &allow) { allow = false; };
        tree.expandItem(tree.Selected());
        QVERIFY(!tree.Selected()->isExpanded());
        QVERIFY(!tree.GetNodeData(tree.Selected())->Enumerated);
    }

    void changeEventsAndAutoExpand()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("a/b/c"));
        QVERIFY(temp.createDir("x/y"));
        TSystemTreeView tree;
        tree.show();
        std::vector<QTreeWidgetItem *> changes;
        tree.OnChange = [&](TSystemTreeView *sender, QTreeWidgetItem *node) {
            QCOMPARE(sender, &tree);
            changes.push_back(node);
        };
        QVL_SELECT(tree, temp.path("a/b"));
        QVERIFY(!changes.empty());
        QCOMPARE(changes.back(), tree.Selected());
        QVERIFY(!tree.Selected()->isExpanded());

        tree.SetAutoExpand(true);
        QVERIFY(tree.AutoExpand());
        QVL_SELECT(tree, temp.path("a"));
        QTreeWidgetItem *b = ChildNamed(tree.Selected(), "b");
        QVERIFY(tree.Selected()->isExpanded());
        tree.SetSelected(b);
        QVERIFY(b->isExpanded());
        QTreeWidgetItem *a = b->parent();
        QVERIFY(a->isExpanded()); // the way to the new node stays open
        QVL_SELECT(tree, temp.path("x"));
        QVERIFY(tree.Selected()->isExpanded());
        QVERIFY(!b->isExpanded()); // the node selected before closes

        tree.FullCollapse();
        QVERIFY(!tree.FirstNode()->isExpanded());
        QCOMPARE(tree.GetSelection(), temp.path("x"));
    }

    void changeHandlerMayRebuildTheTree()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("a/b"));
        QVERIFY(temp.createDir("x"));
        TSystemTreeView tree;
        tree.SetAutoExpand(true);
        tree.show();
        QVL_SELECT(tree, temp.path("a/b"));
        bool resetting = false;
        tree.OnChange = [&](TSystemTreeView *sender, QTreeWidgetItem *node) {
            if (!node || resetting)
                return;
            resetting = true;
            sender->Reset(); // every node, the one just selected too, is new
            resetting = false;
        };
        tree.SetSelection(temp.path("x"));
        QCOMPARE(tree.GetSelection(), temp.path("x"));
        tree.OnChange = nullptr;
        tree.SetSelection(temp.path("a"));
        QCOMPARE(tree.GetSelection(), temp.path("a"));
    }

    void clickAndEnterEvents()
    {
        QWidget form;
        auto *other = new QLineEdit(&form);
        auto *tree = new TSystemTreeView(&form);
        auto *layout = new QVBoxLayout(&form);
        layout->addWidget(other);
        layout->addWidget(tree);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        int clicks = 0, enters = 0;
        tree->OnClick = [&](TSystemTreeView *) { ++clicks; };
        tree->OnEnter = [&](TSystemTreeView *) { ++enters; };
        other->setFocus();
        tree->setFocus(Qt::TabFocusReason);
        QCOMPARE(enters, 1);
        QVERIFY(tree->FirstNode() && tree->FirstNode()->childCount() >= 1);
        const QRect rect = tree->visualItemRect(tree->FirstNode()->child(0));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(clicks, 1);
        QCOMPARE(tree->Selected(), tree->FirstNode()->child(0));
    }

    void asteriskOpensOnlyTheNode()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("a/b/c/d"));
        TSystemTreeView tree;
        tree.show();
        QVL_SELECT(tree, temp.path("a"));
        QTest::keyClick(&tree, Qt::Key_Asterisk);
        QTreeWidgetItem *a = tree.Selected();
        QVERIFY(a->isExpanded());
        QVERIFY(!ChildNamed(a, "b")->isExpanded());
        QCOMPARE(ChildNamed(a, "b")->childCount(), 0);
    }

    void changeToParentWalksUpOrBeeps()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("a/b"));
        TSystemTreeView tree;
        tree.show();
        QVL_SELECT(tree, temp.path("a/b"));
        tree.ChangeToParent();
        QCOMPARE(tree.GetSelection(), temp.path("a"));
        tree.SetSelected(tree.FirstNode());
        tree.ChangeToParent(); // a beep, nothing else
        QCOMPARE(tree.Selected(), tree.FirstNode());
    }

    void resetNodeReadsChildrenAfresh()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("a/one"));
        TSystemTreeView tree;
        tree.show();
        QVL_SELECT(tree, temp.path("a/one"));
        QTreeWidgetItem *a = tree.Selected()->parent();
        QVERIFY(temp.createDir("a/two"));
        QVERIFY(QDir(QString::fromStdString(temp.path("a/one"))).removeRecursively());
        tree.ResetNode(a);
        QVERIFY(a->isExpanded());
        QCOMPARE(ChildTexts(a), QStringList{"two"});
        QCOMPARE(tree.Selected(), a); // the selection did not wander to a sibling
    }

    void linkedResetAndComboSelection()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("k/l"));
        TSystemTreeView tree;
        tree.show();
        TPidlHolder id;
        QVERIFY(GetDesktopFolder()->ParseDisplayName(nullptr, temp.path("k/l"), id));
        QVERIFY(!tree.LinkedReset(GetDesktopFolder(), id.get(), false));
        QCOMPARE(tree.GetSelection(), temp.path("k/l"));
        QCOMPARE(GetPidlSize(tree.GetSelectionPIDL()), GetPidlSize(id.get()));
        QCOMPARE(tree.GetSelectionParentFolder(), GetDesktopFolder());
        tree.SetSelected(tree.FirstNode());
        tree.ComboBoxSetSelectionPIDL(id.get());
        QCOMPARE(tree.GetSelection(), temp.path("k/l"));
    }

    void nodeWithoutDataShowsTheMessage()
    {
        TSystemTreeView tree;
        tree.show();
        auto *plain = new QTreeWidgetItem(tree.FirstNode(), QStringList{"plain"});
        QString text;
        QTimer::singleShot(0, [&] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
                    text = box->text();
                    box->accept();
                }
        });
        QVERIFY(!tree.GetNodeData(plain));
        QCOMPARE(text, QString("Could not get folder data."));
    }

    void sortCanBeAskedFor()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("s/a"));
        QVERIFY(temp.createDir("s/b"));
        TSystemTreeView tree;
        QVERIFY(!tree.AlphaSort()); // no window
        tree.show();
        QVL_SELECT(tree, temp.path("s"));
        tree.expandItem(tree.Selected());
        QVERIFY(tree.CustomSort([](QTreeWidgetItem *a, QTreeWidgetItem *b, std::intptr_t) {
            return QString::compare(b->text(0), a->text(0));
        }, 0));
        QCOMPARE(ChildTexts(tree.Selected()), (QStringList{"a", "b"})); // children keep the default order
        QCOMPARE(ChildTexts(tree.FirstNode()), (QStringList{"Home", "Computer"}));
        QVERIFY(tree.AlphaSort());
        QCOMPARE(ChildTexts(tree.Selected()), (QStringList{"a", "b"}));
    }
};

QVL_TEST_MAIN(SystemTreeViewTest)
#include "SystemTreeViewTest.moc"
