// The item actions on real folders and real widgets: which commands the menu
// offers, what each one does on disk, the hint line while the menu is up,
// the rename report, failures that show nothing, the properties window, and
// the file manager and udisks2 reached over D-Bus, as fakes on a private bus.
#include "tests/foldertree/PrivateBus.h"
#define QVL_TEST_PREPARE(argc, argv) QvlTest::RunOnPrivateBus(argc, argv)

#include "platform/ItemDetails.h"
#include "controls/foldertree/ItemProp.h"
#include "controls/foldertree/FolderItemData.h"
#include "controls/foldertree/SystemTreeView.h"
#include "platform/Trash.h"
#include "controls/foldertree/detail/PropertiesForm.h"

#include "tests/platform/TmpfsMount.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "tests/foldertree/MenuTestHelpers.h"
#include "tests/foldertree/TreeTestHelpers.h"

#include <QClipboard>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QInputDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <memory>

#include <unistd.h>

using namespace QvlTest;

namespace {

bool BusyCursorShown()
{
    return QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
}

// The properties windows open now.
QList<TPropertiesForm *> PropertiesWindows()
{
    QList<TPropertiesForm *> forms;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *f = qobject_cast<TPropertiesForm *>(w); f && f->isVisible())
            forms << f;
    return forms;
}

// What a label says in full: a long path is shortened on the label and
// whole in its tool tip.
QString LabelText(QWidget *form, const char *name)
{
    auto *label = form->findChild<QLabel *>(name);
    if (!label)
        return QStringLiteral("<no %1>").arg(name);
    return label->toolTip().isEmpty() ? label->text() : label->toolTip();
}

} // namespace

// Takes the place of the desktop's application for file URLs.
class TUrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
    QList<bool> busy; // whether the busy cursor showed at each opening
public slots:
    void open(const QUrl &url)
    {
        urls << url;
        busy << BusyCursorShown();
    }
};

class ItemPropTest : public QObject
{
    Q_OBJECT
private:
    TUrlRecorder m_opened;
    const QString m_clipboardMark = QStringLiteral("untouched");

    // The one item a tree node stands for, as a tree hands it over.
    struct TNodeItem {
        TShellFolderPtr folder;
        PCItemIDList id = nullptr;
        std::uint32_t attributes = 0;
    };
    static TNodeItem NodeItem(TSystemTreeView &tree, const std::string &path)
    {
        tree.SetSelection(path);
        TFolderItemData *data = tree.GetNodeData(tree.Selected());
        if (tree.GetSelection() != path || !data)
            return {};
        return {data->ParentFolder, data->RelativeID.get(), data->Attributes};
    }

    // The menu's commands for a path, the menu closed without a choice.
    static QStringList MenuVerbs(const std::string &path, bool allowRename = true)
    {
        QStringList verbs;
        TWhenShown driver(PopupMenu, [&](QWidget *w) {
            verbs = VerbsOf(static_cast<QMenu *>(w));
            QTest::keyClick(w, Qt::Key_Escape);
        });
        bool renameChosen = false;
        DisplayContextMenu(path, nullptr, QPoint(100, 100), allowRename, renameChosen);
        return verbs;
    }

    // Shows the menu for a path and picks `verb`; the result of the action.
    static bool PickFromMenu(const std::string &path, const QString &verb, bool *renameChosen = nullptr)
    {
        TWhenShown driver(PopupMenu, [&](QWidget *w) { Pick(static_cast<QMenu *>(w), verb); });
        bool chosen = true;
        const bool done = DisplayContextMenu(path, nullptr, QPoint(100, 100), true, chosen);
        if (renameChosen)
            *renameChosen = chosen;
        return driver.Ran() && done;
    }

private slots:
    void initTestCase()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_opened, "open");
        // The fakes must be the only services the code can reach.
        QCOMPARE(qgetenv("DBUS_SYSTEM_BUS_ADDRESS"), qgetenv("DBUS_SESSION_BUS_ADDRESS"));
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    void init()
    {
        m_opened.urls.clear();
        m_opened.busy.clear();
        QGuiApplication::clipboard()->setText(m_clipboardMark);
    }

    void cleanup()
    {
        // No action leaves the busy cursor, a hint or a window behind.
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(ItemPropHint(), QString());
        for (TPropertiesForm *form : PropertiesWindows())
            delete form;
    }

    // ------------------------------------------------------------ the menu

    void menuOffersWhatAppliesToTheItem_data()
    {
        QTest::addColumn<QString>("item"); // below the test tree, or "/"
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QStringList>("notOffered");
        const QStringList everything {"open", "opencontainingfolder", "newfolder", "copypath",
                                      "delete", "rename", "properties"};
        QTest::newRow("folder") << "folder" << everything << QStringList {"unmount", "eject"};
        QTest::newRow("file") << "folder/file.txt"
                              << QStringList {"open", "opencontainingfolder", "copypath", "delete", "rename",
                                              "properties"}
                              << QStringList {"newfolder", "unmount", "eject"};
        QTest::newRow("mount point") << "mnt"
                                     << QStringList {"open", "opencontainingfolder", "newfolder", "copypath",
                                                     "properties"}
                                     << QStringList {"delete", "rename", "unmount", "eject"};
        QTest::newRow("root") << "/" << QStringList {"open", "copypath", "properties"}
                              << QStringList {"opencontainingfolder", "delete", "rename", "unmount", "eject"};
    }

    void menuOffersWhatAppliesToTheItem()
    {
        QFETCH(QString, item);
        QFETCH(QStringList, offered);
        QFETCH(QStringList, notOffered);
        TempTree tree;
        QVERIFY(tree.createFile("folder/file.txt", "text"));
        QVERIFY(tree.createDir("mnt"));
        TmpfsMount mount(tree.path("mnt"));
        if (item == "mnt" && !mount.Mounted())
            QSKIP(mount.Reason());
        const QStringList verbs = MenuVerbs(item == "/" ? "/" : tree.path(item.toStdString()));
        for (const QString &verb : offered)
            QVERIFY2(verbs.contains(verb), qPrintable(verb + " missing from " + verbs.join(',')));
        for (const QString &verb : notOffered)
            QVERIFY2(!verbs.contains(verb), qPrintable(verb + " offered in " + verbs.join(',')));
        QCOMPARE(verbs.first(), QStringLiteral("open")); // the default comes first
    }

    void renameIsOfferedOnlyWhereTheCallerCanRename()
    {
        TempTree tree;
        QVERIFY(tree.createDir("folder"));
        QVERIFY(MenuVerbs(tree.path("folder"), true).contains("rename"));
        const QStringList verbs = MenuVerbs(tree.path("folder"), false);
        QVERIFY2(!verbs.contains("rename"), qPrintable(verbs.join(',')));
        QVERIFY(verbs.contains("delete"));
    }

    void closingTheMenuWithoutAChoiceDoesNothing()
    {
        TempTree tree;
        QVERIFY(tree.createDir("folder"));
        bool cursorWhileChoosing = true;
        TWhenShown driver(PopupMenu, [&](QWidget *menu) {
            cursorWhileChoosing = BusyCursorShown();
            QTest::keyClick(menu, Qt::Key_Escape);
        });
        bool renameChosen = true; // cleared by every action
        QVERIFY(DisplayContextMenu(tree.path("folder"), nullptr, QPoint(10, 10), true, renameChosen));
        QVERIFY(driver.Ran());
        QVERIFY(!renameChosen);
        QVERIFY(!cursorWhileChoosing); // the user's own cursor while the menu waits
        QVERIFY(Exists(tree.path("folder")));
        QVERIFY(m_opened.urls.isEmpty());
        QCOMPARE(QGuiApplication::clipboard()->text(), m_clipboardMark);
        QVERIFY(PropertiesWindows().isEmpty());
    }

    void hoveringACommandShowsItsHintUntilTheMenuCloses()
    {
        TempTree tree;
        QVERIFY(tree.createDir("folder"));
        QMainWindow window;
        auto *view = new TSystemTreeView(&window);
        window.setCentralWidget(view);
        QStatusBar *statusLine = window.statusBar(); // made on first asking
        window.show();
        const TNodeItem item = NodeItem(*view, tree.path("folder"));
        QVERIFY(item.id);

        QStringList hints, statusLines;
        TWhenShown driver(PopupMenu, [&](QWidget *w) {
            auto *menu = static_cast<QMenu *>(w);
            for (const QString verb : {"delete", "open"}) {
                Hover(menu, verb);
                hints << ItemPropHint();
                statusLines << statusLine->currentMessage();
            }
            QTest::keyClick(menu, Qt::Key_Escape);
        });
        bool renameChosen = false;
        QVERIFY(DisplayContextMenu(item.folder, &item.id, item.attributes, view, QPoint(50, 50), 1, true,
                                   renameChosen));
        QVERIFY(driver.Ran());
        QCOMPARE(hints, (QStringList {"delete|Move to the trash", "open|Open with the desktop's default application"}));
        QCOMPARE(statusLines, (QStringList {"Move to the trash", "Open with the desktop's default application"}));
        QCOMPARE(ItemPropHint(), QString());
        QCOMPARE(statusLine->currentMessage(), QString());
    }

    void renameOnlyReportsTheChoice()
    {
        TempTree tree;
        QVERIFY(tree.createDir("folder/inside"));
        bool renameChosen = false;
        QVERIFY(PickFromMenu(tree.path("folder"), "rename", &renameChosen));
        QVERIFY(renameChosen);
        QCOMPARE(ChildNames(tree.root()), QStringList {"folder"});
        QVERIFY(Exists(tree.path("folder/inside")));
        QVERIFY(m_opened.urls.isEmpty());
        QCOMPARE(QGuiApplication::clipboard()->text(), m_clipboardMark);
        // Outside the menu there is no renaming to report.
        QVERIFY(!PerformVerb("rename", tree.path("folder"), nullptr));
    }

    // ------------------------------------------------------------ commands

    void openUsesTheDesktopsApplication_data()
    {
        QTest::addColumn<int>("how");
        QTest::addColumn<QStringList>("opened"); // below the test tree
        QTest::newRow("menu") << 0 << QStringList {"a b"};
        QTest::newRow("default action") << 1 << QStringList {"a b"};
        QTest::newRow("verb in other letter case") << 2 << QStringList {"a b"};
        QTest::newRow("names of a folder") << 3 << QStringList {"a b", "c.txt"};
        QTest::newRow("wildcard, hidden names too") << 4 << QStringList {".h.txt", "c.txt"};
    }

    void openUsesTheDesktopsApplication()
    {
        QFETCH(int, how);
        QFETCH(QStringList, opened);
        TempTree tree;
        QVERIFY(tree.createDir("a b"));
        QVERIFY(tree.createFile("c.txt"));
        QVERIFY(tree.createFile(".h.txt"));
        const std::string path = tree.path("a b");
        bool done = false;
        switch (how) {
        case 0:
            done = PickFromMenu(path, "open");
            break;
        case 1:
            done = PerformDefaultAction(path, nullptr);
            break;
        case 2:
            done = PerformVerb("OPEN", path, nullptr);
            break;
        case 3:
            done = PerformVerb("open", tree.root(), {"a b", "missing", "c.txt"}, nullptr);
            break;
        case 4:
            done = PerformVerb("open", tree.path("*.txt"), nullptr);
            break;
        }
        QVERIFY(done);
        QList<QUrl> expected;
        for (const QString &name : opened)
            expected << QUrl::fromLocalFile(Q(tree.path(name.toStdString())));
        QList<QUrl> got = m_opened.urls;
        std::sort(got.begin(), got.end());
        QCOMPARE(got, expected);
        QVERIFY(!m_opened.busy.contains(false)); // busy while it works
    }

    void deleteMovesToTheTrash_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("menu") << 0;
        QTest::newRow("verb on a path") << 1;
        QTest::newRow("verb on a tree node") << 2;
    }

    void deleteMovesToTheTrash()
    {
        QFETCH(int, how);
        TempTree tree;
        QVERIFY(tree.createFile("victim/inner.txt", "keep me"));
        QVERIFY(tree.createDir("stays"));
        const std::string path = tree.path("victim");
        bool done = false;
        if (how == 0) {
            done = PickFromMenu(path, "delete");
        } else if (how == 1) {
            done = PerformVerb("delete", path, nullptr);
        } else {
            TSystemTreeView view;
            view.show();
            const TNodeItem item = NodeItem(view, path);
            QVERIFY(item.id);
            done = PerformVerb("delete", item.folder, &item.id, item.attributes, &view, 1);
        }
        QVERIFY(done);
        QVERIFY(!Exists(path));
        QVERIFY(Exists(tree.path("stays")));
        const std::string trash = HomeTrashDir();
        QVERIFY(Exists(trash + "/files/victim/inner.txt"));
        QVERIFY(Exists(trash + "/info/victim.trashinfo"));
        // The next test starts with an empty trash.
        RemoveTree(trash);
    }

    void deleteIsRefusedForTheRootAndMountPoints_data()
    {
        QTest::addColumn<QString>("item");
        QTest::newRow("root") << "/";
        QTest::newRow("mount point") << "mnt";
        QTest::newRow("mount point, with its slash") << "mnt/";
    }

    void deleteIsRefusedForTheRootAndMountPoints()
    {
        QFETCH(QString, item);
        TempTree tree;
        QVERIFY(tree.createDir("mnt"));
        TmpfsMount mount(tree.path("mnt"));
        if (!mount.Mounted())
            QSKIP(mount.Reason());
        QVERIFY(tree.createFile("mnt/data", "on the volume"));
        int questions = 0;
        TWhenShown noQuestion(ModalDialog, [&](QWidget *w) {
            ++questions;
            w->close();
        });
        const std::string path = item == "/" ? "/" : tree.path(item.toStdString());
        QVERIFY(!PerformVerb("delete", path, nullptr));
        QCOMPARE(questions, 0);
        QVERIFY(Exists(tree.path("mnt/data")));
        QVERIFY(!Exists(HomeTrashDir() + "/files"));
    }

    // Offered while the folder was a plain one; picked once a volume is
    // mounted on it or anywhere inside it. The folder stays, and the box
    // names the volume that keeps it there.
    void aVolumeMountedWhileTheMenuIsUpIsNotDeleted_data()
    {
        QTest::addColumn<QString>("mountAt");
        QTest::newRow("on the folder") << "folder";
        QTest::newRow("inside the folder") << "folder/sub/card";
    }
    void aVolumeMountedWhileTheMenuIsUpIsNotDeleted()
    {
        QFETCH(QString, mountAt);
        const std::string at = mountAt.toStdString();
        TempTree tree;
        QVERIFY(tree.createFile("folder/own", "of the folder"));
        QVERIFY(tree.createDir("folder/sub/card"));
        std::unique_ptr<TmpfsMount> mount;
        TWhenShown driver(PopupMenu, [&](QWidget *w) {
            mount = std::make_unique<TmpfsMount>(tree.path(at));
            if (mount->Mounted())
                tree.createFile(at + "/on-the-volume", "x");
            Pick(static_cast<QMenu *>(w), "delete");
        });
        QString told;
        TWhenShown box(ModalDialog, [&](QWidget *w) {
            if (auto *m = qobject_cast<QMessageBox *>(w))
                told = m->text();
            w->close();
        });
        bool renameChosen = false;
        const bool done = DisplayContextMenu(tree.path("folder"), nullptr, QPoint(4, 4), true, renameChosen);
        QVERIFY(driver.Ran());
        if (!mount->Mounted())
            QSKIP(mount->Reason());
        QVERIFY(!done);
        QVERIFY2(told.contains(QString::fromStdString(tree.path(at))), qPrintable(told));
        QVERIFY(Exists(tree.path(at + "/on-the-volume")));
        QVERIFY(!Exists(HomeTrashDir() + "/files/folder"));
        QVERIFY(mount->Unmount());
        QVERIFY(Exists(tree.path("folder/own")));
    }

    void whatCannotGoToTheTrashIsDeletedForGoodOnlyAfterYes_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }

    void whatCannotGoToTheTrashIsDeletedForGoodOnlyAfterYes()
    {
        QFETCH(bool, yes);
        TempTree tree;
        QVERIFY(tree.createDir("vol"));
        TmpfsMount mount(tree.path("vol"));
        if (!mount.Mounted())
            QSKIP(mount.Reason());
        // A file where the volume's trash folder would go: nothing can be
        // trashed on this volume.
        QVERIFY(tree.createFile("vol/.Trash-" + std::to_string(::getuid()), "in the way"));
        QVERIFY(tree.createFile("vol/doomed/file", "x"));
        QString title, text;
        TWhenShown answer(ModalDialog, [&](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            QVERIFY(box);
            title = box->windowTitle();
            text = box->text();
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        QCOMPARE(PerformVerb("delete", tree.path("vol/doomed"), nullptr), yes);
        QVERIFY(answer.Ran());
        QCOMPARE(title, QStringLiteral("Delete Permanently"));
        QCOMPARE(text, QStringLiteral("\"doomed\" cannot be moved to the trash. Delete it permanently?"));
        QCOMPARE(Exists(tree.path("vol/doomed/file")), !yes);
    }

    void newFolderIsMadeUnderTheNameGiven_data()
    {
        QTest::addColumn<QString>("typed");         // empty: the name proposed is taken
        QTest::addColumn<bool>("accept");
        QTest::addColumn<bool>("handler");          // a caller makes the folder itself
        QTest::addColumn<QString>("proposed");
        QTest::addColumn<QString>("made");          // empty: nothing is made
        QTest::newRow("typed name") << "Fresh" << true << false << "New Folder 2" << "Fresh";
        QTest::newRow("proposed name") << "" << true << false << "New Folder 2" << "New Folder 2";
        QTest::newRow("cancelled") << "Fresh" << false << false << "New Folder 2" << "";
        QTest::newRow("name with a slash") << "New Folder/inner" << true << false << "New Folder 2" << "";
        QTest::newRow("taken name") << "New Folder" << true << false << "New Folder 2" << "";
        QTest::newRow("made by the caller") << "Fresh" << true << true << "New Folder 2" << "Fresh";
    }

    void newFolderIsMadeUnderTheNameGiven()
    {
        QFETCH(QString, typed);
        QFETCH(bool, accept);
        QFETCH(bool, handler);
        QFETCH(QString, proposed);
        QFETCH(QString, made);
        TempTree tree;
        QVERIFY(tree.createDir("parent/New Folder"));
        QString shownName;
        TWhenShown prompt(ModalDialog, [&](QWidget *w) {
            auto *dialog = qobject_cast<QInputDialog *>(w);
            QVERIFY(dialog);
            shownName = dialog->textValue();
            if (!typed.isEmpty())
                dialog->setTextValue(typed);
            accept ? dialog->accept() : dialog->reject();
        });
        std::vector<std::string> asked;
        const TNewFolderHandler makeIt = [&](const std::string &name) {
            asked.push_back(name);
            return CreateFolderForTest(tree.path("parent/" + name));
        };
        TWhenShown menu(PopupMenu, [](QWidget *w) { Pick(static_cast<QMenu *>(w), "newfolder"); });
        TSystemTreeView view;
        view.show();
        const TNodeItem item = NodeItem(view, tree.path("parent"));
        QVERIFY(item.id);
        bool renameChosen = false;
        const bool done = DisplayContextMenu(item.folder, &item.id, item.attributes, &view, QPoint(1, 1), 1, true,
                                             renameChosen, handler ? makeIt : TNewFolderHandler());
        QVERIFY(prompt.Ran());
        QCOMPARE(shownName, proposed);
        QCOMPARE(done, !made.isEmpty());
        QStringList expected {"New Folder"};
        if (!made.isEmpty())
            expected << made;
        expected.sort();
        QCOMPARE(ChildNames(tree.path("parent")), expected);
        QCOMPARE(ChildNames(tree.path("parent/New Folder")), QStringList());
        QCOMPARE(asked.size(), std::size_t(handler ? 1 : 0));
    }

    void copyPathPutsTheFullPathsOnTheClipboard()
    {
        TempTree tree;
        QVERIFY(tree.createDir("one"));
        QVERIFY(tree.createFile("two.txt"));
        QVERIFY(PickFromMenu(tree.path("one"), "copypath"));
        QCOMPARE(QGuiApplication::clipboard()->text(), Q(tree.path("one")));
        QVERIFY(PerformVerb("copypath", tree.root(), {"one", "two.txt"}, nullptr));
        QCOMPARE(QGuiApplication::clipboard()->text(), Q(tree.path("one") + "\n" + tree.path("two.txt")));
    }

    // ------------------------------------------------------------ failures

    void failuresReturnFalseAndShowNothing_data()
    {
        QTest::addColumn<int>("what");
        QTest::newRow("menu of a missing path") << 0;
        QTest::newRow("menu of names that name nothing") << 1;
        QTest::newRow("menu of an empty path") << 2;
        QTest::newRow("menu of Computer, which has no command") << 3;
        QTest::newRow("menu without a folder") << 4;
        QTest::newRow("menu of no items") << 5;
        QTest::newRow("unknown verb") << 6;
        QTest::newRow("properties of an item without them") << 7;
        QTest::newRow("default action of Computer") << 8;
        QTest::newRow("delete of a missing path") << 9;
        QTest::newRow("default action of an item gone since it was listed") << 10;
    }

    void failuresReturnFalseAndShowNothing()
    {
        QFETCH(int, what);
        TempTree tree;
        QVERIFY(tree.createDir("here"));
        TPidlHolder computer;
        QVERIFY(GetSpecialFolderLocation(nullptr, csidlDrives, computer));
        PCItemIDList ids[] = {computer.get()};
        const PCItemIDList here[] = {nullptr};
        TShellFolderPtr desktop = GetDesktopFolder();

        TWhenShown anyMenu(PopupMenu, [](QWidget *w) { QTest::keyClick(w, Qt::Key_Escape); });
        TWhenShown anyDialog(ModalDialog, [](QWidget *w) { w->close(); });
        bool renameChosen = true;
        bool done = true;
        switch (what) {
        case 0:
            done = DisplayContextMenu(tree.path("missing"), nullptr, QPoint(), true, renameChosen);
            break;
        case 1:
            done = DisplayContextMenu(tree.root(), {"nothing", "neither"}, nullptr, QPoint(), true, renameChosen);
            break;
        case 2:
            done = DisplayContextMenu(std::string(), nullptr, QPoint(), true, renameChosen);
            break;
        case 3:
            done = DisplayContextMenu(desktop, ids, sfgaoFolder, nullptr, QPoint(), 1, true, renameChosen);
            break;
        case 4:
            done = DisplayContextMenu(nullptr, ids, 0, nullptr, QPoint(), 1, true, renameChosen);
            break;
        case 5:
            done = DisplayContextMenu(desktop, here, 0, nullptr, QPoint(), 0, true, renameChosen);
            break;
        case 6:
            done = PerformVerb("frobnicate", tree.path("here"), nullptr);
            break;
        case 7: {
            TSystemTreeView view;
            view.show();
            const TNodeItem item = NodeItem(view, tree.path("here"));
            QVERIFY(item.id);
            done = DisplayPropertiesDialog(item.folder, &item.id, item.attributes & ~sfgaoHasPropSheet, &view, 1);
            break;
        }
        case 8:
            done = PerformDefaultAction(desktop, ids, sfgaoFolder, nullptr, 1);
            break;
        case 9:
            done = PerformVerb("delete", tree.path("missing"), nullptr);
            break;
        case 10: {
            TSystemTreeView view;
            view.show();
            const TNodeItem item = NodeItem(view, tree.path("here"));
            QVERIFY(item.id);
            // The node may go when its watcher reports; the ID stays ours.
            const TPidlHolder id = CopyPIDL(item.id);
            PCItemIDList stale[] = {id.get()};
            QVERIFY(QDir().rmdir(Q(tree.path("here"))));
            done = PerformDefaultAction(item.folder, stale, item.attributes, &view, 1);
            break;
        }
        }
        QVERIFY(!done);
        QVERIFY(!anyMenu.Ran());
        QVERIFY(!anyDialog.Ran());
        QVERIFY(PropertiesWindows().isEmpty());
        QVERIFY(m_opened.urls.isEmpty());
        if (what <= 5)
            QVERIFY(!renameChosen);
    }

    // ------------------------------------------------------------ helpers

    void getPIDLAndShellFolderResolvesAPath_data()
    {
        QTest::addColumn<QString>("item");     // below the test tree, or "/"
        QTest::addColumn<QString>("resolved"); // the item's path, or empty when none
        QTest::newRow("folder") << "folder" << "folder";
        QTest::newRow("folder with its slash") << "folder/" << "folder";
        QTest::newRow("file") << "folder/file" << "folder/file";
        QTest::newRow("root of the file system") << "/" << "/";
        QTest::newRow("missing") << "missing" << "";
    }

    void getPIDLAndShellFolderResolvesAPath()
    {
        QFETCH(QString, item);
        QFETCH(QString, resolved);
        TempTree tree;
        QVERIFY(tree.createFile("folder/file"));
        const auto inTree = [&tree](const QString &rel) { return rel == "/" ? std::string("/") : tree.path(rel.toStdString()); };
        TShellFolderPtr folder = GetDesktopFolder(); // replaced by the answer
        TPidlHolder id = MakeItemID("stale"); // released and replaced by the answer
        QCOMPARE(GetPIDLAndShellFolder(inTree(item), folder, id, nullptr), !resolved.isEmpty());
        if (resolved.isEmpty()) {
            QVERIFY(!folder && !id);
            return;
        }
        QCOMPARE(PIDLCount(id.get()), 1);
        std::string back;
        QVERIFY(folder->GetPathOf(id.get(), back));
        QCOMPARE(Q(back), Q(inTree(resolved)));
    }

    // ------------------------------------------------------------ properties

    void propertiesShowTheItemsDetails_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("countable");
        QTest::newRow("file") << "data.bin" << "File" << false;
        QTest::newRow("folder") << "folder" << "Folder" << true;
        QTest::newRow("link to a folder") << "link" << "Link to folder" << false;
        QTest::newRow("mount point") << "mnt" << "Folder, the root of a volume" << true;
    }

    void propertiesShowTheItemsDetails()
    {
        QFETCH(QString, item);
        QFETCH(QString, type);
        QFETCH(bool, countable);
        TempTree tree;
        QVERIFY(tree.createFile("data.bin", QByteArray(1234, 'd')));
        QVERIFY(tree.createFile("folder/a", QByteArray(100, 'a')));
        QVERIFY(tree.createFile("folder/sub/b", QByteArray(20, 'b')));
        QVERIFY(tree.createFile("elsewhere/big", QByteArray(5000, 'e')));
        QCOMPARE(::symlink(tree.path("elsewhere").c_str(), tree.path("folder/sub/to-elsewhere").c_str()), 0);
        QCOMPARE(::symlink("folder", tree.path("link").c_str()), 0);
        QVERIFY(tree.createDir("mnt"));
        TmpfsMount mount(tree.path("mnt"));
        if (item == "mnt") {
            if (!mount.Mounted())
                QSKIP(mount.Reason());
            QVERIFY(tree.createFile("mnt/a", QByteArray(100, 'a')));
            QVERIFY(tree.createFile("mnt/sub/b", QByteArray(20, 'b')));
            QCOMPARE(::symlink(tree.path("elsewhere").c_str(), tree.path("mnt/sub/to-elsewhere").c_str()), 0);
        }
        const std::string path = tree.path(item.toStdString());

        QVERIFY(DisplayPropertiesDialog(path, nullptr));
        QCOMPARE(PropertiesWindows().size(), 1);
        TPropertiesForm *form = PropertiesWindows().first();
        QCOMPARE(form->windowTitle(), item + " Properties");
        QCOMPARE(LabelText(form, "LabelName"), item);
        QCOMPARE(LabelText(form, "LabelType"), type);
        QCOMPARE(LabelText(form, "LabelLocation"), Q(tree.root()));
        const TItemDetails details = GetItemDetails(path);
        QCOMPARE(LabelText(form, "LabelPermissions"),
                 QStringLiteral("%1 (%2)").arg(QString::fromStdString(ModeString(details.typeLetter, details.mode)))
                     .arg(details.mode, 3, 8, QLatin1Char('0')));
        QVERIFY(LabelText(form, "LabelOwner").startsWith(Q(details.owner) + ", group "));
        const TVolumeDetails volume = GetVolumeDetails(path);
        QVERIFY2(LabelText(form, "LabelFileSystem").contains(Q(volume.mountPoint)),
                 qPrintable(LabelText(form, "LabelFileSystem")));
        QVERIFY(LabelText(form, "LabelFreeSpace").contains(" free of "));

        auto *count = form->findChild<QPushButton *>("CountBtn");
        QCOMPARE(count->isVisibleTo(form), countable);
        if (!countable) {
            QCOMPARE(LabelText(form, "LabelSize"),
                     item == "data.bin" ? QStringLiteral("1.2 kB (%1 bytes)").arg(QLocale::system().toString(1234))
                                        : QStringLiteral("6 bytes"));
            return;
        }
        QCOMPARE(LabelText(form, "LabelSize"), QStringLiteral("Contents not counted"));
        QTest::mouseClick(count, Qt::LeftButton);
        QTRY_VERIFY(!form->Counting());
        // The link to the other folder is not followed.
        QCOMPARE(LabelText(form, "LabelSize"), QStringLiteral("2 files, 1 folder: 120 bytes"));
        QVERIFY(count->isVisibleTo(form));
    }

    void propertiesOfSeveralItemsCountThemAll()
    {
        TempTree tree;
        QVERIFY(tree.createFile("one.bin", QByteArray(10, '1')));
        QVERIFY(tree.createFile("folder/two.bin", QByteArray(20, '2')));
        QVERIFY(PickFromMenuOfNames(tree.root(), {"one.bin", "folder"}, "properties"));
        QCOMPARE(PropertiesWindows().size(), 1);
        TPropertiesForm *form = PropertiesWindows().first();
        QCOMPARE(form->windowTitle(), QStringLiteral("2 items Properties"));
        QCOMPARE(LabelText(form, "LabelLocation"), Q(tree.root()));
        QVERIFY(!form->findChild<QLabel *>("LabelOwner")->isVisibleTo(form));
        form->StartCount();
        QTRY_VERIFY(!form->Counting());
        QCOMPARE(LabelText(form, "LabelSize"), QStringLiteral("2 files, 1 folder: 30 bytes"));
    }

    void closingThePropertiesWindowStopsItsCount()
    {
        TempTree tree;
        for (int i = 0; i < 2000; ++i)
            QVERIFY(tree.createFile("many/" + std::to_string(i % 40) + "/f" + std::to_string(i)));
        QVERIFY(DisplayPropertiesDialog(tree.path("many"), nullptr));
        QPointer<TPropertiesForm> form = PropertiesWindows().first();
        form->StartCount();
        QVERIFY(form->Counting());
        form->close(); // deletes itself, stopping and joining the thread
        QTRY_VERIFY(form.isNull());
    }

    // ------------------------------------------------------------ over D-Bus

    void openContainingFolderAsksTheFileManager()
    {
        TempTree tree;
        QVERIFY(tree.createDir("a b"));
        TFakeDesktop desktop;
        desktop.fileManager = true;
        desktop.Start();
        QVERIFY(PickFromMenu(tree.path("a b"), "opencontainingfolder"));
        const QList<TFakeCall> calls = desktop.Calls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls[0].member, QStringLiteral("ShowItems"));
        QCOMPARE(calls[0].interface, QStringLiteral("org.freedesktop.FileManager1"));
        const QString uri = QUrl::fromLocalFile(Q(tree.path("a b"))).toString(QUrl::FullyEncoded);
        QVERIFY(uri.endsWith("/a%20b"));
        QCOMPARE(calls[0].arguments, (QVariantList {QStringList {uri}, QString()}));
        QVERIFY(m_opened.urls.isEmpty());
    }

    void openContainingFolderWithoutAFileManagerOpensTheFolder()
    {
        TempTree tree;
        QVERIFY(tree.createDir("sub/a b"));
        QVERIFY(tree.createDir("sub/c"));
        QVERIFY(PerformVerb("opencontainingfolder", tree.path("sub"), {"a b", "c"}, nullptr));
        QCOMPARE(m_opened.urls, QList<QUrl> {QUrl::fromLocalFile(Q(tree.path("sub")))});
    }

    void volumesAreUnmountedAndEjectedThroughUdisks_data()
    {
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("known");
        QTest::addColumn<bool>("ejectable");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<QString>("pick");
        QTest::addColumn<QStringList>("offered");  // of unmount and eject
        QTest::addColumn<QStringList>("requests"); // what udisks2 was asked, path:member
        const QString block = TFakeDesktop::BlockPath(0);
        const QString drive = TFakeDesktop::DrivePath(0);
        QTest::newRow("udisks2 not running") << false << true << true << false << "" << QStringList()
                                             << QStringList();
        QTest::newRow("mount udisks2 does not manage") << true << false << true << false << "" << QStringList()
                                                       << QStringList();
        QTest::newRow("unmount") << true << true << false << false << "unmount" << QStringList {"unmount"}
                                 << QStringList {block + ":Unmount"};
        QTest::newRow("eject") << true << true << true << false << "eject" << QStringList {"unmount", "eject"}
                               << QStringList {block + ":Unmount", drive + ":Eject"};
        QTest::newRow("eject of a busy volume") << true << true << true << true << "eject"
                                                << QStringList {"unmount", "eject"}
                                                << QStringList {block + ":Unmount"};
    }

    void volumesAreUnmountedAndEjectedThroughUdisks()
    {
        QFETCH(bool, running);
        QFETCH(bool, known);
        QFETCH(bool, ejectable);
        QFETCH(bool, busy);
        QFETCH(QString, pick);
        QFETCH(QStringList, offered);
        QFETCH(QStringList, requests);
        TempTree tree;
        QVERIFY(tree.createDir("stick"));
        TmpfsMount mount(tree.path("stick"));
        if (!mount.Mounted())
            QSKIP(mount.Reason());
        TFakeDesktop desktop;
        desktop.udisks = running;
        desktop.volumes.push_back(
            {QByteArray::fromStdString(known ? tree.path("stick") : tree.path("other")), ejectable, busy});
        desktop.Start();

        QStringList verbs;
        TWhenShown driver(PopupMenu, [&](QWidget *w) {
            auto *menu = static_cast<QMenu *>(w);
            verbs = VerbsOf(menu);
            if (pick.isEmpty())
                QTest::keyClick(menu, Qt::Key_Escape);
            else
                Pick(menu, pick);
        });
        bool renameChosen = false;
        QVERIFY(DisplayContextMenu(tree.path("stick"), nullptr, QPoint(5, 5), true, renameChosen));
        QVERIFY(driver.Ran());
        QStringList volumeVerbs;
        for (const QString &v : verbs)
            if (v == "unmount" || v == "eject")
                volumeVerbs << v;
        QCOMPARE(volumeVerbs, offered);

        // Requests go out without waiting; each answer is awaited by a
        // watcher of its own, and a follow-up (the eject) gets one before the
        // answer that led to it is done with.
        QTRY_VERIFY(qApp->findChildren<QDBusPendingCallWatcher *>().isEmpty());
        QStringList asked;
        for (const TFakeCall &c : desktop.Calls())
            if (c.member != QLatin1String("GetManagedObjects"))
                asked << c.path + ":" + c.member;
        QCOMPARE(asked, requests);
    }

    void theRootIsNeverOfferedForUnmounting()
    {
        TFakeDesktop desktop;
        desktop.udisks = true;
        desktop.volumes.push_back({"/", true});
        desktop.Start();
        const QStringList verbs = MenuVerbs("/");
        QVERIFY(!verbs.isEmpty());
        QVERIFY(!verbs.contains("unmount") && !verbs.contains("eject"));
    }

private:
    static bool CreateFolderForTest(const std::string &path) { return QDir().mkdir(Q(path)); }

    static QStringList ChildNames(const std::string &folder)
    {
        QStringList names = QDir(Q(folder)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        names.sort();
        return names;
    }

    static bool PickFromMenuOfNames(const std::string &folder, const std::vector<std::string> &names,
                                    const QString &verb)
    {
        TWhenShown driver(PopupMenu, [&](QWidget *w) { Pick(static_cast<QMenu *>(w), verb); });
        bool renameChosen = false;
        return DisplayContextMenu(folder, names, nullptr, QPoint(3, 3), true, renameChosen) && driver.Ran();
    }
};

QVL_TEST_MAIN(ItemPropTest)
#include "ItemPropTest.moc"
