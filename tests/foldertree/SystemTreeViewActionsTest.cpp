// What the folder tree lets the user do to folders, on real folders and the
// real widget: which menu a right click shows, each command of the node's
// menu on disk and in the tree, renaming by editing a label, deleting and
// making folders from code, check marks, and the auto-scroll at the edges.
// The commands run on a D-Bus of the test's own (see PrivateBus.h), so a
// mount point's menu asks no real udisks2.
#include "tests/foldertree/PrivateBus.h"
#define QVL_TEST_PREPARE(argc, argv) QvlTest::RunOnPrivateBus(argc, argv)

#include "controls/foldertree/FolderItemData.h"
#include "controls/foldertree/SystemTreeView.h"
#include "platform/Trash.h"

#include "tests/platform/TmpfsMount.h"
#include "tests/foldertree/MenuTestHelpers.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/RemoveTree.h"
#include "tests/common/TempTree.h"
#include "tests/foldertree/TreeTestHelpers.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QScrollBar>

using namespace QvlTest;

namespace {

// The node's menu, a command picked in it; false when no menu came.
bool PickOnNode(TSystemTreeView &tree, QTreeWidgetItem *node, const QString &verb)
{
    TWhenShown menu(PopupMenu, [&](QWidget *w) { Pick(static_cast<QMenu *>(w), verb); });
    RequestMenu(tree, node);
    return menu.Ran();
}

// The label editor the tree has open, nullptr when none.
QLineEdit *LabelEditor(TSystemTreeView &tree)
{
    // A closed editor lingers hidden until it is deleted.
    for (QLineEdit *editor : tree.viewport()->findChildren<QLineEdit *>())
        if (editor->isVisible())
            return editor;
    return nullptr;
}

} // namespace

class SystemTreeViewActionsTest : public QObject
{
    Q_OBJECT
private:
    long m_liveData = 0;

    // A tree showing `path` selected and open.
    static void ShowAt(TSystemTreeView &tree, const std::string &path)
    {
        tree.resize(400, 300);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        QVL_SELECT(tree, path);
        tree.expandItem(tree.Selected());
    }

private slots:
    void init() { m_liveData = TFolderItemData::LiveCount(); }
    void cleanup()
    {
        QCOMPARE(TFolderItemData::LiveCount(), m_liveData);
        RemoveTree(HomeTrashDir());
    }

    // ------------------------------------------------------------ which menu

    void popupMenuMethodChoosesTheMenu_data()
    {
        QTest::addColumn<int>("method");
        QTest::addColumn<bool>("onNode");
        QTest::addColumn<QString>("shown"); // "system", "own" or "none"
        QTest::newRow("none, node") << int(pmmNone) << true << "none";
        QTest::newRow("none, empty space") << int(pmmNone) << false << "none";
        QTest::newRow("context, node") << int(pmmContext) << true << "system";
        QTest::newRow("context, empty space") << int(pmmContext) << false << "none";
        QTest::newRow("user, node") << int(pmmUser) << true << "own";
        QTest::newRow("user, empty space") << int(pmmUser) << false << "own";
        QTest::newRow("context and user, node") << int(pmmContextUser) << true << "system";
        QTest::newRow("context and user, empty space") << int(pmmContextUser) << false << "own";
    }

    void popupMenuMethodChoosesTheMenu()
    {
        QFETCH(int, method);
        QFETCH(bool, onNode);
        QFETCH(QString, shown);
        TempTree temp;
        QVERIFY(temp.createDir("p/a"));
        // A tree of a few rows, with room below them.
        TSystemTreeView tree;
        tree.SetRootFolder(rfCustom);
        tree.SetCustomDir(temp.path("p"));
        QMenu own;
        own.addAction("Own command");
        tree.SetPopupMenu(&own);
        tree.SetPopupMenuMethod(TPopupMenuMethod(method));
        tree.resize(300, 300);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        QTreeWidgetItem *a = ChildNamed(tree.FirstNode(), "a");
        QVERIFY(a);
        QVERIFY(!tree.itemAt(QPoint(5, tree.viewport()->height() - 3)));
        QStringList systemVerbs;
        TWhenShown system(PopupMenu, [&](QWidget *w) {
            auto *menu = static_cast<QMenu *>(w);
            systemVerbs = VerbsOf(menu);
            QTest::keyClick(menu, Qt::Key_Escape);
        });
        RequestMenu(tree, onNode ? a : nullptr);
        QCOMPARE(system.Ran() ? QString("system") : own.isVisible() ? QString("own") : QString("none"), shown);
        own.hide();
        if (shown == "system") {
            QVERIFY(systemVerbs.contains("delete"));
            QCOMPARE(tree.Selected(), a); // the right click selects the node
            QCOMPARE(tree.GetSelection(), temp.path("p/a"));
        }
    }

    // The menu key stands for the selected node: keyboard users reach the
    // same commands.
    void theMenuKeyShowsTheSelectedNodesMenu()
    {
        TempTree temp;
        QVERIFY(temp.createDir("p/a"));
        TSystemTreeView tree;
        ShowAt(tree, temp.path("p/a"));
        QPoint menuAt;
        TWhenShown menu(PopupMenu, [&](QWidget *w) {
            menuAt = w->pos();
            QTest::keyClick(w, Qt::Key_Escape);
        });
        RequestMenu(tree, nullptr, QContextMenuEvent::Keyboard);
        QVERIFY(menu.Ran());
        QCOMPARE(tree.GetSelection(), temp.path("p/a"));
        const QRect label = tree.visualItemRect(tree.Selected());
        QCOMPARE(menuAt, tree.viewport()->mapToGlobal(label.bottomLeft()));
    }

    // ------------------------------------------------------------ renaming

    void renameChosenInTheMenuEditsTheLabel()
    {
        TempTree temp;
        QVERIFY(temp.createFile("p/old/sub/inner.txt", "x"));
        TSystemTreeView tree;
        ShowAt(tree, temp.path("p/old"));
        tree.expandItem(tree.Selected());
        QTreeWidgetItem *old = tree.Selected();
        QTreeWidgetItem *sub = ChildNamed(old, "sub");
        QVERIFY(sub);
        std::vector<std::string> changes, edited;
        tree.OnChange = [&](TSystemTreeView *sender, QTreeWidgetItem *) { changes.push_back(sender->GetSelection()); };
        tree.OnEdited = [&](TSystemTreeView *, QTreeWidgetItem *node, const std::string &name) {
            QCOMPARE(node, old);
            edited.push_back(name);
        };

        QVERIFY(PickOnNode(tree, old, "rename"));
        QLineEdit *editor = LabelEditor(tree);
        QVERIFY(editor);
        QCOMPARE(editor->text(), QString("old"));
        editor->setText("new");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(!LabelEditor(tree)); // the edit ends from the event loop

        QVERIFY(!Exists(temp.path("p/old")));
        QVERIFY(Exists(temp.path("p/new/sub/inner.txt")));
        QCOMPARE(old->text(0), QString("new"));
        QCOMPARE(edited, std::vector<std::string>{"new"});
        QCOMPARE(tree.GetSelection(), temp.path("p/new"));
        // The owner following the selected path hears of the new one.
        QVERIFY(!changes.empty());
        QCOMPARE(changes.back(), temp.path("p/new"));
        // Everything below follows the new name.
        QCOMPARE(tree.GetNodePath(sub), temp.path("p/new/sub"));
        TFolderItemData *subData = tree.GetNodeData(sub);
        std::string viaFolder;
        QVERIFY(subData->ParentFolder->GetPathOf(subData->RelativeID.get(), viaFolder));
        QCOMPARE(viaFolder, temp.path("p/new/sub"));
        QVL_SELECT(tree, temp.path("p/new/sub"));
        QCOMPARE(tree.Selected(), sub);
    }

    // The folder is listed afresh while its menu waits (a watcher's report):
    // the Rename picked then has no node left to edit.
    void aNodeGoneWhileItsMenuIsUpIsNotEdited()
    {
        TempTree temp;
        QVERIFY(temp.createDir("p/a"));
        TSystemTreeView tree;
        ShowAt(tree, temp.path("p/a"));
        QTreeWidgetItem *p = tree.Selected()->parent();
        TWhenShown menu(PopupMenu, [&](QWidget *w) {
            tree.ResetNode(p);
            Pick(static_cast<QMenu *>(w), "rename");
        });
        RequestMenu(tree, tree.Selected());
        QVERIFY(menu.Ran());
        QVERIFY(!LabelEditor(tree));
        QCOMPARE(tree.Selected(), p);
        QVERIFY(Exists(temp.path("p/a")));
    }

    void renameNodeRefusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("renamed");
        QTest::newRow("free name") << "fresh" << true;
        QTest::newRow("empty name") << "" << false;
        QTest::newRow("a folder's name") << "taken-dir" << false;
        QTest::newRow("a file's name") << "taken-file" << false;
        QTest::newRow("not one name") << "x/y" << false;
        QTest::newRow("dot dot") << ".." << false;
    }

    void renameNodeRefusals()
    {
        QFETCH(QString, name);
        QFETCH(bool, renamed);
        TempTree temp;
        QVERIFY(temp.createFile("p/item/own.txt", "item"));
        QVERIFY(temp.createFile("p/taken-dir/other.txt", "other"));
        QVERIFY(temp.createFile("p/taken-file", "a file"));
        QVERIFY(temp.createDir("p/x"));
        TSystemTreeView tree;
        ShowAt(tree, temp.path("p/item"));
        QTreeWidgetItem *item = tree.Selected();
        TFolderItemData *data = tree.GetNodeData(item);
        const TPidlHolder idBefore = CopyPIDL(data->AbsoluteID.get());
        const std::string wanted = name.toStdString();
        QCOMPARE(tree.RenameNode(item, wanted), renamed);
        if (renamed) {
            QVERIFY(Exists(temp.path("p/fresh/own.txt")));
            QCOMPARE(tree.GetNodePath(item), temp.path("p/fresh"));
            return;
        }
        // Nothing replaced, nothing moved, the node as it was.
        QVERIFY(Exists(temp.path("p/item/own.txt")));
        QVERIFY(Exists(temp.path("p/taken-dir/other.txt")));
        QVERIFY(!Exists(temp.path("p/taken-dir/own.txt")));
        QVERIFY(!Exists(temp.path("p/x/y")));
        QCOMPARE(item->text(0), QString("item"));
        QVERIFY(ComparePIDLs(data->AbsoluteID.get(), idBefore.get()));
        QCOMPARE(tree.GetNodePath(item), temp.path("p/item"));
    }

    void aRefusedLabelEditKeepsTheLabel()
    {
        TempTree temp;
        QVERIFY(temp.createDir("p/item"));
        QVERIFY(temp.createDir("p/taken"));
        TSystemTreeView tree;
        ShowAt(tree, temp.path("p/item"));
        QTreeWidgetItem *item = tree.Selected();
        int edited = 0;
        tree.OnEdited = [&](TSystemTreeView *, QTreeWidgetItem *, const std::string &) { ++edited; };
        for (const auto &[text, key] : {std::pair{"taken", Qt::Key_Return}, std::pair{"cancelled", Qt::Key_Escape}}) {
            tree.editItem(item, 0);
            QLineEdit *editor = LabelEditor(tree);
            QVERIFY(editor);
            editor->setText(text);
            QTest::keyClick(editor, key);
            QTRY_VERIFY(!LabelEditor(tree));
            QCOMPARE(item->text(0), QString("item"));
        }
        QCOMPARE(edited, 0);
        QVERIFY(Exists(temp.path("p/item")));
        QVERIFY(!Exists(temp.path("p/cancelled")));
    }

    void onlyRenamableFoldersAreEdited()
    {
        TempTree temp;
        QVERIFY(temp.createDir("p/a"));
        TSystemTreeView tree;
        ShowAt(tree, temp.path("p/a"));
        QTreeWidgetItem *root = tree.FirstNode();
        QTreeWidgetItem *computer = ChildNamed(root, "Computer");
        QVERIFY(computer);
        for (QTreeWidgetItem *fixed : {root, computer}) {
            tree.editItem(fixed, 0);
            QVERIFY(!LabelEditor(tree));
        }
        tree.editItem(tree.Selected(), 0);
        QVERIFY(LabelEditor(tree));
        QTest::keyClick(LabelEditor(tree), Qt::Key_Escape);
        QTRY_VERIFY(!LabelEditor(tree));

        // A read-only tree edits nothing, and its menu offers no Rename.
        tree.SetReadOnly(true);
        tree.editItem(tree.Selected(), 0);
        QVERIFY(!LabelEditor(tree));
        QStringList verbs;
        TWhenShown menu(PopupMenu, [&](QWidget *w) {
            verbs = VerbsOf(static_cast<QMenu *>(w));
            QTest::keyClick(w, Qt::Key_Escape);
        });
        RequestMenu(tree, tree.Selected());
        QVERIFY(menu.Ran());
        QVERIFY(verbs.contains("delete"));
        QVERIFY(!verbs.contains("rename"));
    }

    // ------------------------------------------------------------ deleting

    void deletingTheSelectedFolderSelectsItsParent_data()
    {
        QTest::addColumn<bool>("fromMenu");
        QTest::newRow("menu") << true;
        QTest::newRow("DeleteNode") << false;
    }

    void deletingTheSelectedFolderSelectsItsParent()
    {
        QFETCH(bool, fromMenu);
        TempTree temp;
        QVERIFY(temp.createFile("p/victim/inner.txt", "to the trash"));
        QVERIFY(temp.createDir("p/stays"));
        TSystemTreeView tree;
        ShowAt(tree, temp.path("p/victim"));
        QTreeWidgetItem *p = tree.Selected()->parent();
        std::vector<std::string> changes;
        tree.OnChange = [&](TSystemTreeView *sender, QTreeWidgetItem *) { changes.push_back(sender->GetSelection()); };
        if (fromMenu)
            QVERIFY(PickOnNode(tree, tree.Selected(), "delete"));
        else
            QVERIFY(tree.DeleteNode(tree.Selected()));
        QVERIFY(!Exists(temp.path("p/victim")));
        QVERIFY(Exists(HomeTrashDir() + "/files/victim/inner.txt"));
        QCOMPARE(tree.Selected(), p);
        QCOMPARE(ChildTexts(p), QStringList{"stays"});
        QVERIFY(!changes.empty());
        QCOMPARE(changes.back(), temp.path("p"));
    }

    void deleteNodeRefusesTheRootAndMountPoints()
    {
        TempTree temp;
        QVERIFY(temp.createDir("p/mnt"));
        TmpfsMount mount(temp.path("p/mnt"));
        if (!mount.Mounted())
            QSKIP(mount.Reason());
        QVERIFY(temp.createFile("p/mnt/data", "on the volume"));
        int questions = 0;
        TWhenShown noQuestion(ModalDialog, [&](QWidget *w) {
            ++questions;
            w->close();
        });
        TSystemTreeView tree;
        ShowAt(tree, temp.path("p/mnt"));
        QVERIFY(!tree.DeleteNode(tree.Selected()));
        QCOMPARE(tree.GetSelection(), temp.path("p/mnt"));
        QVL_SELECT(tree, "/");
        QVERIFY(!tree.DeleteNode(tree.Selected()));
        QVERIFY(!tree.DeleteNode(nullptr));
        QCOMPARE(questions, 0);
        QVERIFY(Exists(temp.path("p/mnt/data")));
        QVERIFY(!Exists(HomeTrashDir() + "/files"));
    }

    // ------------------------------------------------------------ new folders

    void addNewNodeMakesTheFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("selectNew");
        QTest::addColumn<bool>("made");
        QTest::newRow("selected") << "fresh" << true << true;
        QTest::newRow("not selected") << "fresh" << false << true;
        QTest::newRow("name taken") << "a" << true << false;
        QTest::newRow("empty name") << "" << true << false;
        QTest::newRow("a name reaching into a subfolder") << "a/inner" << true << false;
    }

    void addNewNodeMakesTheFolder()
    {
        QFETCH(QString, name);
        QFETCH(bool, selectNew);
        QFETCH(bool, made);
        TempTree temp;
        QVERIFY(temp.createDir("p/a"));
        TSystemTreeView tree;
        ShowAt(tree, temp.path("p"));
        QTreeWidgetItem *p = tree.Selected();
        QTRY_VERIFY(tree.WatchThread()); // the selection watches its folder
        TFileChangeThread *watcherBefore = tree.WatchThread();
        QCOMPARE(tree.AddNewNode(p, name.toStdString(), selectNew), made);
        QCOMPARE(Exists(temp.path("p/fresh")), made);
        QCOMPARE(ChildTexts(p).contains("fresh"), made);
        QVERIFY(!Exists(temp.path("p/a/inner")));
        if (made && selectNew) {
            QCOMPARE(tree.GetSelection(), temp.path("p/fresh"));
        } else {
            QCOMPARE(tree.Selected(), p);
            // Watching goes on, from a watcher started afresh.
            QCOMPARE(tree.WatchedNode(), p);
            QVERIFY(tree.WatchThread());
            if (name == "fresh" || name == "a")
                QVERIFY(tree.WatchThread() != watcherBefore);
        }
        QVERIFY(!tree.AddNewNode(nullptr, "x", true));
    }

    void newFolderInTheMenuAsksForTheNameAndSelectsIt()
    {
        TempTree temp;
        QVERIFY(temp.createDir("p/a"));
        TSystemTreeView tree;
        ShowAt(tree, temp.path("p"));
        TWhenShown prompt(ModalDialog, [](QWidget *w) {
            auto *dialog = qobject_cast<QInputDialog *>(w);
            QVERIFY(dialog);
            dialog->setTextValue("made here");
            dialog->accept();
        });
        QVERIFY(PickOnNode(tree, tree.Selected(), "newfolder"));
        QVERIFY(prompt.Ran());
        QVERIFY(Exists(temp.path("p/made here")));
        QCOMPARE(tree.GetSelection(), temp.path("p/made here"));
    }

    // ------------------------------------------------------------ check boxes

    void checkMarks()
    {
        TempTree temp;
        QVERIFY(temp.createDir("p/a"));
        QVERIFY(temp.createDir("p/b"));
        TSystemTreeView tree;
        ShowAt(tree, temp.path("p"));
        QTreeWidgetItem *a = ChildNamed(tree.Selected(), "a");
        tree.SetItemCheck(a, true); // without check boxes: nothing
        QVERIFY(!tree.GetItemCheck(a));
        QVERIFY(!a->data(0, Qt::CheckStateRole).isValid());

        tree.SetCheckboxes(true);
        QCOMPARE(tree.GetSelection(), temp.path("p")); // rebuilt, selection kept
        tree.expandItem(tree.Selected());
        a = ChildNamed(tree.Selected(), "a");
        QTreeWidgetItem *b = ChildNamed(tree.Selected(), "b");
        QCOMPARE(a->checkState(0), Qt::Unchecked); // every node has its box
        QVERIFY(a->flags() & Qt::ItemIsUserCheckable);
        tree.SetItemCheck(a, true);
        QVERIFY(tree.GetItemCheck(a));
        QVERIFY(!tree.GetItemCheck(b));
        QCOMPARE(a->checkState(0), Qt::Checked);
        tree.SetItemCheck(a, false);
        QVERIFY(!tree.GetItemCheck(a));
        tree.SetItemCheck(b, true);
        tree.SetItemCheck(nullptr, true);
        QVERIFY(!tree.GetItemCheck(nullptr));

        // Off and on again: no mark survives.
        tree.SetCheckboxes(false);
        tree.SetCheckboxes(true);
        tree.expandItem(tree.Selected());
        b = ChildNamed(tree.Selected(), "b");
        QVERIFY(b);
        QVERIFY(!tree.GetItemCheck(b));
    }

    // ------------------------------------------------------------ auto-scroll

    void eachMoveNearAnEdgeScrollsOneLine()
    {
        TempTree temp;
        for (int i = 0; i < 60; ++i)
            QVERIFY(temp.createDir("p/" + std::string(40, 'a' + i % 26) + std::to_string(i)));
        TSystemTreeView tree;
        ShowAt(tree, temp.path("p"));
        tree.resize(150, 150);
        tree.scrollToTop();
        QScrollBar *v = tree.verticalScrollBar();
        QScrollBar *hbar = tree.horizontalScrollBar();
        QVERIFY(v->maximum() > 5);
        QVERIFY(hbar->maximum() > 5);
        QWidget *port = tree.viewport();
        const int line = tree.fontMetrics().height();
        const QPoint middle = port->rect().center();
        const QPoint bottom(middle.x(), port->height() - 2);
        const QPoint right(port->width() - 2, middle.y());

        QTest::mouseMove(port, bottom); // Autoscroll is off
        QCOMPARE(v->value(), 0);

        tree.SetAutoscroll(true);
        for (int step = 1; step <= 3; ++step) {
            QTest::mouseMove(port, bottom + QPoint(step % 2, 0));
            QCOMPARE(v->value(), step * v->singleStep());
        }
        QTest::mouseMove(port, middle);
        QCOMPARE(v->value(), 3 * v->singleStep());
        QTest::mouseMove(port, QPoint(middle.x(), line - 1));
        QCOMPARE(v->value(), 2 * v->singleStep());
        QTest::mouseMove(port, QPoint(middle.x(), line));
        QCOMPARE(v->value(), 2 * v->singleStep());

        QCOMPARE(hbar->value(), 0);
        QTest::mouseMove(port, right);
        QCOMPARE(hbar->value(), hbar->singleStep());
        QTest::mouseMove(port, QPoint(line - 1, middle.y()));
        QCOMPARE(hbar->value(), 0);
        // A corner scrolls both ways, still one line each.
        QTest::mouseMove(port, QPoint(port->width() - 1, port->height() - 1));
        QCOMPARE(v->value(), 3 * v->singleStep());
        QCOMPARE(hbar->value(), hbar->singleStep());
    }
};

QVL_TEST_MAIN(SystemTreeViewActionsTest)
#include "SystemTreeViewActionsTest.moc"
