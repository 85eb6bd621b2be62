#include "platform/CurrentFolder.h"
#include "platform/DirReader.h"
#include "controls/filelist/DirectoryListBox.h"
#include "controls/filelist/FlCtrlEx.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using QvlTest::TempTree;

namespace {

QStringList Rows(const TFileListBox &list)
{
    QStringList rows;
    for (int i = 0; i < list.Count(); ++i)
        rows << QString::fromStdString(list.Items(i));
    return rows;
}

// A list whose folder entries arrive in a chosen order and that notes, for
// every row a listing inserts, its position and whether the busy cursor was
// showing.
class TProbeList : public TFileListBoxEx
{
public:
    using TFileListBoxEx::TFileListBoxEx;

    enum { Disk, Ascending, Descending, ShortestFirst } order = Disk;
    struct Insert {
        int position;
        bool busy;
    };
    std::vector<Insert> inserts;
    int failAtInsert = -1; // throw while inserting this row (0-based)
    std::string unlistable; // a folder whose listing fails as without read access

protected:
    void ListFolder(const std::string &folder, std::vector<TDirEntry> &entries) override
    {
        if (folder == unlistable)
            throw EInOutError(EACCES, folder);
        TFileListBoxEx::ListFolder(folder, entries);
        if (order == Disk)
            return;
        std::sort(entries.begin(), entries.end(), [this](const TDirEntry &a, const TDirEntry &b) {
            if (order == ShortestFirst && a.name.size() != b.name.size())
                return a.name.size() < b.name.size();
            return order == Descending ? b.name < a.name : a.name < b.name;
        });
    }
    void RowInserted(int position) override
    {
        const QCursor *cursor = QApplication::overrideCursor();
        inserts.push_back({position, cursor && cursor->shape() == Qt::WaitCursor});
        if (failAtInsert >= 0 && static_cast<int>(inserts.size()) > failAtInsert)
            throw EInOutError(EIO, "probe");
    }
};

// Names the events a list fires, in order.
struct EventLog {
    QStringList events;
    void Attach(TFileListBox &list)
    {
        list.OnChange = [this](QObject *) { events << "change"; };
        list.OnClick = [this](QObject *) { events << "click"; };
        list.OnDblClick = [this](QObject *) { events << "dblclick"; };
        list.OnEnter = [this](QObject *) { events << "enter"; };
        list.OnExit = [this](QObject *) { events << "exit"; };
    }
    QStringList Take() { return std::exchange(events, {}); }
};

void ShowList(TFileListBox &list)
{
    list.resize(200, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
}

// Creates the files in the tree and shows the list of its root.
void ShowListOf(TFileListBox &list, const TempTree &t, std::initializer_list<const char *> files = {})
{
    for (const char *name : files)
        QVERIFY(t.createFile(name));
    list.SetDirectory(t.root());
    ShowList(list);
}

} // namespace

class FlCtrlExTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // Every test leaves the current folder in a temporary tree that is
        // removed afterwards; start each from a folder that exists.
        QVERIFY(SetCurrentFolder(QDir::tempPath().toStdString()) == 0);
    }

    void listingWithMasks_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QStringList>("rows");
        const QStringList all = {"a.txt", "B.TXT", "c.dat", "Makefile", "notes.txt.bak"};
        QTest::newRow("star dot star lists every name") << "*.*" << all;
        QTest::newRow("star") << "*" << all;
        QTest::newRow("case does not matter") << "*.txt" << QStringList{"a.txt", "B.TXT"};
        QTest::newRow("two masks that both match list a file twice, side by side")
            << "*.dat;*.*" << QStringList{"a.txt", "B.TXT", "c.dat", "c.dat", "Makefile", "notes.txt.bak"};
        QTest::newRow("question mark is one character") << "?.dat;??.txt" << QStringList{"c.dat"};
        QTest::newRow("name dot star also matches the bare name") << "makefile.*" << QStringList{"Makefile"};
        QTest::newRow("star dot matches names without a dot") << "*." << QStringList{"Makefile"};
        QTest::newRow("empty pieces add nothing") << ";*.dat;;" << QStringList{"c.dat"};
        QTest::newRow("empty mask lists nothing") << "" << QStringList{};
        QTest::newRow("mask that matches nothing") << "*.zip" << QStringList{};
    }

    void listingWithMasks()
    {
        QFETCH(QString, mask);
        QFETCH(QStringList, rows);
        TempTree t;
        for (const char *name : {"a.txt", "B.TXT", "c.dat", "Makefile", "notes.txt.bak"})
            QVERIFY(t.createFile(name));
        QVERIFY(t.createDir("sub.txt"));
        TFileListBoxEx list;
        ShowListOf(list, t);
        EventLog log;
        log.Attach(list);
        list.SetMask(mask.toStdString());
        QCOMPARE(Rows(list), rows);
        // A mask that lists nothing still tells the re-read, unless it was
        // the mask already held.
        QCOMPARE(log.Take(), mask == "*.*" ? QStringList{} : QStringList{"change"});
    }

    void attributesDecideWhatIsListed_data()
    {
        QTest::addColumn<TFileType>("fileType");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("normal: plain files only") << TFileType{ftNormal} << QStringList{"file.txt", "link.txt"};
        QTest::newRow("the main window's source list") << TFileType{ftNormal, ftArchive} << QStringList{"file.txt", "link.txt"};
        QTest::newRow("normal and hidden")
            << TFileType{ftNormal, ftHidden} << QStringList{".hidden.txt", "file.txt", "link.txt"};
        QTest::newRow("normal and system")
            << TFileType{ftNormal, ftSystem} << QStringList{"dangling", "fifo", "file.txt", "link.txt", "socket"};
        QTest::newRow("folders as bracketed rows")
            << TFileType{ftNormal, ftDirectory} << QStringList{"[..]", "[.]", "[dir-link]", "[sub]", "file.txt", "link.txt"};
        // Without ftNormal only entries with an asked-for attribute remain.
        QTest::newRow("hidden only") << TFileType{ftHidden} << QStringList{".hidden.txt"};
        QTest::newRow("system only") << TFileType{ftSystem} << QStringList{"dangling", "fifo", "socket"};
        QTest::newRow("archive only: never set here") << TFileType{ftArchive} << QStringList{};
        QTest::newRow("nothing asked") << TFileType{} << QStringList{};
    }

    void attributesDecideWhatIsListed()
    {
        QFETCH(TFileType, fileType);
        QFETCH(QStringList, rows);
        TempTree t;
        QVERIFY(t.createFile("file.txt"));
        QVERIFY(t.createFile(".hidden.txt"));
        QVERIFY(t.createDir("sub"));
        QVERIFY(t.createDir(".hidden-dir"));
        QCOMPARE(::mkfifo(t.path("fifo").c_str(), 0600), 0);
        QCOMPARE(::symlink("file.txt", t.path("link.txt").c_str()), 0);
        QCOMPARE(::symlink("sub", t.path("dir-link").c_str()), 0);
        QCOMPARE(::symlink("gone", t.path("dangling").c_str()), 0);
        const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(sock >= 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const std::string sockPath = t.path("socket");
        if (sockPath.size() >= sizeof addr.sun_path)
            QSKIP("temporary folder path too long for a socket");
        std::copy(sockPath.begin(), sockPath.end(), addr.sun_path);
        QCOMPARE(::bind(sock, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);

        TFileListBoxEx list;
        list.SetFileType(fileType);
        list.SetDirectory(t.root());
        ShowList(list);
        ::close(sock);
        QCOMPARE(Rows(list), rows);
        QVERIFY(list.IsFolderRow(int(rows.indexOf("[sub]"))) || !rows.contains("[sub]"));
    }

    void readOnlyFilesWithoutNormal()
    {
        if (::geteuid() == 0)
            QSKIP("root may write every file: nothing is read-only");
        TempTree t;
        QVERIFY(t.createFile("locked.txt"));
        QVERIFY(t.createFile("open.txt"));
        QCOMPARE(::chmod(t.path("locked.txt").c_str(), 0444), 0);
        TFileListBoxEx list;
        list.SetFileType({ftReadOnly});
        list.SetDirectory(t.root());
        ShowList(list);
        QCOMPARE(Rows(list), QStringList{"locked.txt"});
    }

    void nothingIsListedBeforeTheListIsShown()
    {
        TempTree t;
        QVERIFY(t.createFile("a.txt"));
        TFileListBoxEx list;
        EventLog log;
        log.Attach(list);
        list.SetDirectory(t.root());
        list.ReadFileNames();
        QCOMPARE(list.Count(), 0);
        QCOMPARE(log.Take(), QStringList{});
        QCOMPARE(QString::fromStdString(list.Directory()), QString::fromStdString(t.root()));
        ShowList(list);
        QCOMPARE(Rows(list), QStringList{"a.txt"});
        QCOMPARE(log.Take(), QStringList{"change"});
    }

    void directoryFollowsTheCurrentFolderRules()
    {
        TempTree t;
        QVERIFY(t.createFile("top.txt"));
        QVERIFY(t.createFile("sub/inner.txt"));
        TFileListBoxEx list;
        ShowList(list);
        list.SetDirectory(t.root() + "/");
        QCOMPARE(list.Directory(), t.root());
        QCOMPARE(CurrentFolder(), t.root());
        // A relative folder is taken relative to the folder shown, whatever
        // the process's current folder is meanwhile.
        QVERIFY(SetCurrentFolder("/") == 0);
        list.SetDirectory("sub");
        QCOMPARE(list.Directory(), t.path("sub"));
        QCOMPARE(Rows(list), QStringList{"inner.txt"});
        QCOMPARE(CurrentFolder(), t.path("sub"));
        list.SetDirectory("..");
        QCOMPARE(list.Directory(), t.root());
        QCOMPARE(Rows(list), QStringList{"top.txt"});
        // The folder already shown: no re-read.
        EventLog log;
        log.Attach(list);
        list.SetDirectory(t.root());
        QCOMPARE(log.Take(), QStringList{});
    }

    void directoryThatCannotBeEnteredChangesNothing_data()
    {
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<int>("error");
        QTest::newRow("missing folder") << "missing" << ENOENT;
        QTest::newRow("a file") << "top.txt" << ENOTDIR;
        QTest::newRow("empty text") << "" << ENOENT;
    }

    void directoryThatCannotBeEnteredChangesNothing()
    {
        QFETCH(QString, wanted);
        QFETCH(int, error);
        TempTree t;
        TFileListBoxEx list;
        ShowListOf(list, t, {"top.txt", "other.txt"});
        list.SetItemIndex(1);
        EventLog log;
        log.Attach(list);
        try {
            list.SetDirectory(wanted.isEmpty() ? std::string() : t.path(wanted.toStdString()));
            QFAIL("no error raised");
        } catch (const EInOutError &e) {
            QCOMPARE(e.ErrorCode(), error);
        }
        QCOMPARE(list.Directory(), t.root());
        QCOMPARE(Rows(list), (QStringList{"other.txt", "top.txt"}));
        QCOMPARE(list.ItemIndex(), 1);
        QCOMPARE(CurrentFolder(), t.root());
        QCOMPARE(log.Take(), QStringList{});
    }

    void unreadableOrVanishedFolderKeepsTheRows()
    {
        TempTree t;
        QVERIFY(t.createFile("keep/a.txt"));
        QVERIFY(t.createFile("locked/b.txt"));
        QVERIFY(t.createFile("refused/c.txt"));
        TProbeList list;
        list.unlistable = t.path("refused");
        ShowList(list);
        list.SetDirectory(t.path("keep"));
        // Enterable but not listable: the old rows must not be paired with
        // the new folder, so nothing changes.
        const auto refused = [&](const std::string &folder) {
            QVERIFY_THROWS_EXCEPTION(EInOutError, list.SetDirectory(folder));
            QCOMPARE(list.Directory(), t.path("keep"));
            QCOMPARE(Rows(list), QStringList{"a.txt"});
            QCOMPARE(CurrentFolder(), t.path("keep"));
        };
        refused(t.path("refused"));
        if (::geteuid() != 0) {
            QCOMPARE(::chmod(t.path("locked").c_str(), 0111), 0);
            refused(t.path("locked"));
            ::chmod(t.path("locked").c_str(), 0755);
        }
        QVERIFY(QDir(QString::fromStdString(t.path("keep"))).removeRecursively());
        QVERIFY_THROWS_EXCEPTION(EInOutError, list.ReadFileNames());
        QCOMPARE(Rows(list), QStringList{"a.txt"});
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void fileNameIsDirectoryAndRowJoinedByOneSlash()
    {
        TempTree t;
        TFileListBoxEx list;
        ShowListOf(list, t, {"a.txt"});
        QCOMPARE(list.FileName(), std::string());
        list.SetItemIndex(0);
        QCOMPARE(list.FileName(), t.path("a.txt"));
        list.SetFileType({ftDirectory});
        list.SetDirectory("/");
        QVERIFY(list.Count() > 0);
        list.SetItemIndex(0);
        QCOMPARE(list.FileName(), "/" + list.Items(0));
        // After a re-read no row is selected and FileName is empty.
        list.ReadFileNames();
        QCOMPARE(list.ItemIndex(), -1);
        QCOMPARE(list.FileName(), std::string());
    }

    void writingFileName()
    {
        TempTree t;
        TFileListBoxEx list;
        ShowListOf(list, t, {"docs/Report.txt", "docs/report.TXT", "docs/notes.txt", "docs/data.bin", "other.txt"});
        EventLog log;
        log.Attach(list);

        // The folder part becomes Directory, the file is selected.
        list.SetFileName(t.path("docs/notes.txt"));
        QCOMPARE(list.Directory(), t.path("docs"));
        QCOMPARE(list.FileName(), t.path("docs/notes.txt"));
        QCOMPARE(log.Take(), (QStringList{"change", "change"}));
        // The same path again, or an empty one: nothing happens.
        list.SetFileName(t.path("docs/notes.txt"));
        list.SetFileName("");
        QCOMPARE(log.Take(), QStringList{});

        // Of two names equal but for case, the exact one is selected.
        list.SetFileName(t.path("docs/report.TXT"));
        QCOMPARE(list.FileName(), t.path("docs/report.TXT"));
        list.SetFileName(t.path("docs/Report.txt"));
        QCOMPARE(list.FileName(), t.path("docs/Report.txt"));
        log.Take();

        // A name that matches a row only without regard to case selects it,
        // but no such file exists here.
        try {
            list.SetFileName(t.path("docs/NOTES.txt"));
            QFAIL("no error raised");
        } catch (const EInvalidOperation &e) {
            QCOMPARE(QString::fromStdString(e.what()), QString::fromStdString("Invalid file name - " + t.path("docs/NOTES.txt")));
        }
        QCOMPARE(list.Items(list.ItemIndex()), std::string("notes.txt"));
        QCOMPARE(log.Take(), QStringList{"change"});

        // A missing file deselects and raises.
        QVERIFY_THROWS_EXCEPTION(EInvalidOperation, list.SetFileName(t.path("docs/missing.txt")));
        QCOMPARE(list.ItemIndex(), -1);
        QCOMPARE(log.Take(), QStringList{"change"});

        // A wildcard part becomes the mask.
        list.SetFileName(t.path("docs/*.bin"));
        QCOMPARE(list.Mask(), std::string("*.bin"));
        QCOMPARE(Rows(list), QStringList{"data.bin"});

        // A file the mask hides becomes the mask and is selected.
        log.Take();
        list.SetFileName(t.path("other.txt"));
        QCOMPARE(list.Directory(), t.root());
        QCOMPARE(list.Mask(), std::string("other.txt"));
        QCOMPARE(list.FileName(), t.path("other.txt"));
        QCOMPARE(log.Take(), (QStringList{"change", "change", "change"}));

        // A bare name is taken in the folder shown; a folder is no file.
        list.SetMask("*.*");
        QVERIFY_THROWS_EXCEPTION(EInvalidOperation, list.SetFileName("docs"));
        QCOMPARE(list.Directory(), t.root());
        list.SetFileName("other.txt");
        QCOMPARE(list.FileName(), t.path("other.txt"));
    }

    void namesThatAreNotUtf8KeepTheirBytes()
    {
        TempTree t;
        const std::string latin1 = "caf\xe9.txt";
        const std::string full = t.path(latin1);
        const int fd = ::open(full.c_str(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        TFileListBoxEx list;
        ShowListOf(list, t, {"plain.txt"});
        list.SetFileName(full);
        QCOMPARE(list.Items(list.ItemIndex()), latin1);
        QCOMPARE(list.FileName(), full);
    }

    void fileNameThroughTheLinkedDirectoryList()
    {
        TempTree t;
        QVERIFY(t.createFile("one/a.txt"));
        QVERIFY(t.createFile("two/b.txt"));
        TFileListBoxEx list;
        ShowList(list);
        TDirectoryListBox dirs;
        dirs.SetFileList(&list);
        QCOMPARE(list.DirList(), &dirs);
        list.SetFileName(t.path("two/b.txt"));
        QCOMPARE(dirs.Directory(), t.path("two"));
        QCOMPARE(list.Directory(), t.path("two"));
        QCOMPARE(list.FileName(), t.path("two/b.txt"));
        // A relative folder is taken from the folder the list shows, also
        // through a directory list that shows another one.
        dirs.SetFileList(nullptr);
        dirs.SetDirectory("/");
        dirs.SetFileList(&list);
        list.SetFileName("../one/a.txt");
        QCOMPARE(dirs.Directory(), t.path("one"));
        QCOMPARE(list.FileName(), t.path("one/a.txt"));
        // Setting the directory list sets the list's folder.
        dirs.SetDirectory(t.path("two"));
        QCOMPARE(list.Directory(), t.path("two"));
        QCOMPARE(Rows(list), QStringList{"b.txt"});
        dirs.SetDirectory(t.path("one"));
        QCOMPARE(list.Directory(), t.path("one"));
        QCOMPARE(Rows(list), QStringList{"a.txt"});
    }

    void clickAndChangeOrder()
    {
        TempTree t;
        for (const char *name : {"a.txt", "b.txt", "c.txt"})
            QVERIFY(t.createFile(name));
        TFileListBoxEx list;
        ShowListOf(list, t);
        EventLog log;
        log.Attach(list);
        const auto rowCentre = [&list](int row) { return list.visualRect(list.model()->index(row, 0)).center(); };

        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rowCentre(1));
        QCOMPARE(list.ItemIndex(), 1);
        QCOMPARE(log.Take(), (QStringList{"click", "change"}));
        // The row already selected: a click, no change.
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rowCentre(1));
        QCOMPARE(log.Take(), QStringList{"click"});
        // Ctrl does not deselect in a single-selection list.
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(1));
        QCOMPARE(list.ItemIndex(), 1);
        QCOMPARE(log.Take(), QStringList{"click"});
        // Right button and clicks below the rows change nothing.
        QTest::mouseClick(list.viewport(), Qt::RightButton, {}, rowCentre(0));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(5, list.viewport()->height() - 3));
        QCOMPARE(list.ItemIndex(), 1);
        QCOMPARE(log.Take(), QStringList{});
        // The keyboard changes the selection like a click.
        list.setFocus();
        log.Take();
        QTest::keyClick(&list, Qt::Key_Down);
        QCOMPARE(list.ItemIndex(), 2);
        QCOMPARE(log.Take(), (QStringList{"click", "change"}));
        QTest::keyClick(&list, Qt::Key_Down); // already the last row
        QCOMPARE(log.Take(), QStringList{});
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, rowCentre(0));
        QCOMPARE(list.ItemIndex(), 0);
        QCOMPARE(log.Take(), (QStringList{"click", "change", "dblclick"}));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rowCentre(0));
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, rowCentre(0));
        QCOMPARE(log.Take(), (QStringList{"click", "dblclick"}));
        // Setting the selection from code fires nothing; a re-read fires
        // OnChange with no row selected, and the next click on the row that
        // was selected is a change again.
        list.SetItemIndex(2);
        QCOMPARE(log.Take(), QStringList{});
        list.ReadFileNames();
        QCOMPARE(log.Take(), QStringList{"change"});
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rowCentre(0));
        QCOMPARE(log.Take(), (QStringList{"click", "change"}));
    }

    void clearFiresNothing()
    {
        TempTree t;
        TFileListBoxEx list;
        ShowListOf(list, t, {"a.txt"});
        list.SetItemIndex(0);
        EventLog log;
        log.Attach(list);
        list.Clear();
        QCOMPARE(list.Count(), 0);
        QCOMPARE(list.ItemIndex(), -1);
        QCOMPARE(list.Directory(), t.root());
        QCOMPARE(log.Take(), QStringList{});
    }

    void deselectingLeavesNoRowSelected()
    {
        TempTree t;
        TFileListBoxEx list;
        ShowListOf(list, t, {"a.txt", "b.txt"});
        list.SetItemIndex(1);
        QVERIFY(list.Selected(1));
        list.SetSelected(0, false); // not the selected row: nothing
        QCOMPARE(list.ItemIndex(), 1);
        list.SetSelected(list.ItemIndex(), false);
        QCOMPARE(list.ItemIndex(), -1);
        QCOMPARE(list.FileName(), std::string());
    }

    void focusEvents()
    {
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *edit = new QLineEdit(&window);
        auto *list = new TFileListBoxEx(&window);
        layout->addWidget(edit);
        layout->addWidget(list);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        edit->setFocus();
        EventLog log;
        log.Attach(*list);
        list->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(list->hasFocus());
        edit->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(edit->hasFocus());
        QCOMPARE(log.Take(), (QStringList{"enter", "exit"}));
    }

    void rowsAre17PixelsHigh_data()
    {
        QTest::addColumn<int>("pointSize");
        QTest::newRow("stored item height with the default font") << 0;
        QTest::newRow("large font") << 40;
        QTest::newRow("tiny font") << 4;
    }

    void rowsAre17PixelsHigh()
    {
        QFETCH(int, pointSize);
        TempTree t;
        QVERIFY(t.createFile("a.txt"));
        QVERIFY(t.createFile("b.txt"));
        TFileListBoxEx list;
        list.SetItemHeight(13);
        if (pointSize) {
            QFont font = list.font();
            font.setPointSize(pointSize);
            list.setFont(font);
        }
        list.SetDirectory(t.root());
        ShowList(list);
        QTRY_COMPARE(list.visualRect(list.model()->index(0, 0)).height(), 17);
        QCOMPARE(list.visualRect(list.model()->index(1, 0)).top(), 17);
    }

    void busyCursorFromSortedPosition100_data()
    {
        QTest::addColumn<int>("order");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("firstBusyInsert"); // -1: never
        QStringList hundredFifty, hundred;
        for (int i = 0; i < 150; ++i)
            (i < 100 ? hundred : hundredFifty) << QString::asprintf("f%03d", i);
        hundredFifty = hundred + hundredFifty;
        QTest::newRow("files in name order: from the 101st file") << int(TProbeList::Ascending) << hundredFifty << 100;
        QTest::newRow("reverse name order: every row at position 0") << int(TProbeList::Descending) << hundredFifty << -1;
        // The 101st row lands at position 51, the 102nd at 101: position 100
        // is never taken.
        QTest::newRow("position 100 skipped")
            << int(TProbeList::ShortestFirst) << hundred + QStringList{"f0505", "g00000"} << -1;
    }

    void busyCursorFromSortedPosition100()
    {
        QFETCH(int, order);
        QFETCH(QStringList, names);
        QFETCH(int, firstBusyInsert);
        TempTree t;
        for (const QString &name : names)
            QVERIFY(t.createFile(name.toStdString()));
        TProbeList list;
        ShowListOf(list, t);
        list.order = decltype(list.order)(order);
        list.inserts.clear();
        list.ReadFileNames();
        QCOMPARE(list.inserts.size(), std::size_t(names.size()));
        for (std::size_t i = 0; i < list.inserts.size(); ++i) {
            const bool expectBusy = firstBusyInsert >= 0 && int(i) >= firstBusyInsert;
            QVERIFY2(list.inserts[i].busy == expectBusy, qPrintable(QString("insert %1").arg(i)));
        }
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void busyCursorIsRestoredAfterAnError()
    {
        TempTree t;
        for (int i = 0; i < 130; ++i)
            QVERIFY(t.createFile(QString::asprintf("f%03d.txt", i).toStdString()));
        TProbeList list;
        list.SetDirectory(t.root());
        ShowList(list);
        QCOMPARE(list.Count(), 130);
        QApplication::setOverrideCursor(Qt::CrossCursor);
        list.order = TProbeList::Ascending;
        list.inserts.clear();
        list.failAtInsert = 120;
        QVERIFY_THROWS_EXCEPTION(EInOutError, list.ReadFileNames());
        QVERIFY(list.inserts.back().busy);
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
        QApplication::restoreOverrideCursor();
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(list.Count(), 130);
    }

    void versionIsFixed()
    {
        TFileListBoxEx list;
        QCOMPARE(list.GetVersionNr(), 0x01020000u);
        QCOMPARE(list.Version(), std::string("1.2.0.0"));
        list.SetVersion("9.9.9.9");
        QCOMPARE(list.Version(), std::string("1.2.0.0"));
        QVERIFY(list.IconsAtDrawTime());
        QCOMPARE(list.Objects(0), 0);
    }

    void rowsShowTheFileIconByName()
    {
        TempTree t;
        QVERIFY(t.createFile("song.mp3", "not really music"));
        TFileListBoxEx list;
        list.SetDirectory(t.root());
        ShowList(list);
        QCOMPARE(list.Objects(0), 0); // icons are found when drawing
        const QRect row = list.visualRect(list.model()->index(0, 0));
        const QImage shot = list.viewport()->grab(row).toImage();
        const QColor background = shot.pixelColor(row.width() - 2, 1);
        int iconPixels = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                iconPixels += shot.pixelColor(x, y) != background;
        if (QIcon::fromTheme("audio-x-generic").isNull())
            QSKIP("no icon theme installed");
        QVERIFY(iconPixels > 20);
    }
};

QVL_TEST_MAIN(FlCtrlExTest)
#include "FlCtrlExTest.moc"
