#include "controls/filelist/CheckListBoxEx.h"
#include "platform/CurrentFolder.h"
#include "controls/filelist/FileListErrors.h"
#include "tests/filelist/ListTestHelpers.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

using namespace QvlTest;

namespace {

template <class TList>
QList<bool> Checks(TList &list)
{
    QList<bool> out;
    for (int i = 0; i < list.model()->rowCount(); ++i)
        out << list.GetChecked(i);
    return out;
}

// The rows OnClickCheck reported.
struct ClickChecks {
    QList<int> rows;
    template <class TList>
    void Attach(TList &list)
    {
        list.OnClickCheck = [this, &list](QObject *sender, int index) {
            QCOMPARE(sender, static_cast<QObject *>(&list));
            rows << index;
        };
    }
};

void ShowFiles(TCheckFileListBoxEx &list, const TempTree &t, std::initializer_list<const char *> files)
{
    for (const char *name : files)
        QVERIFY(t.createFile(name));
    list.SetDirectory(t.root());
    list.resize(240, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
}

} // namespace

class CheckListBoxExTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(SetCurrentFolder(QDir::tempPath().toStdString()) == 0);
    }

    void checksFollowInsertRemoveAndReread()
    {
        TempTree t;
        TCheckFileListBoxEx list;
        ShowFiles(list, t, {"a.txt", "b.txt", "c.txt"});
        QVERIFY(list.Flat());
        QCOMPARE(Checks(list), (QList<bool>{false, false, false}));
        list.SetChecked(0, true);
        list.SetChecked(2, true);

        // A row put in between gets an unchecked entry at its place; the
        // checks after it stay with their rows.
        list.InsertItem(1, "new.txt");
        QCOMPARE(Checks(list), (QList<bool>{true, false, false, true}));
        QCOMPARE(list.Items(3), std::string("c.txt"));
        list.InsertItem(list.Count(), "last.txt");
        list.SetChecked(4, true);
        QCOMPARE(Checks(list), (QList<bool>{true, false, false, true, true}));
        // A row removed takes its check along.
        list.DeleteItem(0);
        QCOMPARE(Checks(list), (QList<bool>{false, false, true, true}));
        QCOMPARE(list.Items(2), std::string("c.txt"));
        QVERIFY_THROWS_EXCEPTION(EListError, list.DeleteItem(4));
        QVERIFY_THROWS_EXCEPTION(EListError, list.InsertItem(5, "x"));

        // A re-read lists every row anew: nothing is checked.
        list.ReadFileNames();
        QCOMPARE(list.Count(), 3);
        QCOMPARE(Checks(list), (QList<bool>{false, false, false}));
        QVERIFY_THROWS_EXCEPTION(EListError, list.GetChecked(3));
        QVERIFY_THROWS_EXCEPTION(EListError, list.SetChecked(-1, true));
    }

    // x below 16 toggles (after the click has selected the row); x = 16
    // only selects.
    void clickInTheCheckColumnToggles()
    {
        TempTree t;
        TCheckFileListBoxEx list;
        ShowFiles(list, t, {"a.txt", "b.txt"});
        ClickChecks clicks;
        clicks.Attach(list);
        int onClick = 0;
        list.OnClick = [&onClick](QObject *) { ++onClick; };

        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowPoint(list, 1, 15));
        QCOMPARE(Checks(list), (QList<bool>{false, true}));
        QCOMPARE(clicks.rows, QList<int>{1});
        QCOMPARE(list.ItemIndex(), 1);
        QCOMPARE(onClick, 1);

        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowPoint(list, 0, 16));
        QCOMPARE(Checks(list), (QList<bool>{false, true}));
        QCOMPARE(list.ItemIndex(), 0);
        QCOMPARE(onClick, 2);

        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowPoint(list, 1, 0));
        QCOMPARE(Checks(list), (QList<bool>{false, false}));
        QCOMPARE(clicks.rows, (QList<int>{1, 1}));
        // Another button, or a point below the rows, toggles nothing.
        QTest::mouseClick(list.viewport(), Qt::RightButton, {}, RowPoint(list, 1, 5));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(5, list.viewport()->height() - 2));
        QCOMPARE(Checks(list), (QList<bool>{false, false}));
        QCOMPARE(clicks.rows.size(), 2);
    }

    void spaceTogglesTheSelectedRowAndGoesOnToTheList()
    {
        TempTree t;
        TCheckFileListBoxEx list;
        ShowFiles(list, t, {"a.txt", "b.txt", "c.txt"});
        ClickChecks clicks;
        clicks.Attach(list);
        int onClick = 0;
        list.OnClick = [&onClick](QObject *) { ++onClick; };
        list.setFocus();

        // No row selected: nothing toggles, but the key still reaches the
        // list, which selects its current row (a click of the list).
        list.selectionModel()->setCurrentIndex(list.model()->index(2, 0), QItemSelectionModel::NoUpdate);
        QCOMPARE(list.ItemIndex(), -1);
        QTest::keyClick(&list, Qt::Key_Space);
        QCOMPARE(Checks(list), (QList<bool>{false, false, false}));
        QVERIFY(clicks.rows.isEmpty());
        QCOMPARE(list.ItemIndex(), 2);
        QCOMPARE(onClick, 1);

        QTest::keyClick(&list, Qt::Key_Space);
        QCOMPARE(Checks(list), (QList<bool>{false, false, true}));
        QCOMPARE(clicks.rows, QList<int>{2});
        QTest::keyClick(&list, Qt::Key_Up);
        QTest::keyClick(&list, Qt::Key_Space);
        QCOMPARE(Checks(list), (QList<bool>{false, true, true}));
        QCOMPARE(clicks.rows, (QList<int>{2, 1}));
    }

    // SyncLists pads with unchecked entries and drops the extra ones, so
    // that a row read or written always has its own entry.
    void syncListsMatchesTheRows()
    {
        TempTree t;
        TCheckFileListBoxEx list;
        ShowFiles(list, t, {"a.txt", "b.txt"});
        list.SyncLists();
        list.SetChecked(1, true);
        list.Clear();
        list.SyncLists();
        QVERIFY_THROWS_EXCEPTION(EListError, list.GetChecked(0));
        list.SetFlat(false);
        QVERIFY(!list.Flat());
        QCOMPARE(list.Version(), std::string("1.2.0.0"));
    }

    // The check column only toggles, also with DirectOpen; right of it a
    // single click opens. A new folder leaves every row unchecked.
    void directoryVariantCheckColumnNeverOpens()
    {
        TempTree t;
        QVERIFY(t.createDir("top/one/inner"));
        QVERIFY(t.createDir("top/two"));
        TCheckDirectoryListBoxEx dirs;
        QCOMPARE(dirs.CheckWidth(), 16);
        dirs.SetDirectOpen(true);
        ShowDirsOn(dirs, t.path("top"));
        ClickChecks clicks;
        clicks.Attach(dirs);
        const int one = dirs.Count() - 2;
        QCOMPARE(dirs.GetItemPath(one), t.path("top/one"));
        QCOMPARE(Checks(dirs).size(), dirs.Count());

        QTest::mouseClick(dirs.viewport(), Qt::LeftButton, {}, RowPoint(dirs, one, 15));
        QCOMPARE(dirs.Directory(), t.path("top"));
        QVERIFY(dirs.GetChecked(one));
        QCOMPARE(clicks.rows, QList<int>{one});
        // A double click there toggles twice and opens nothing.
        QTest::mousePress(dirs.viewport(), Qt::LeftButton, {}, RowPoint(dirs, one, 5));
        QTest::mouseDClick(dirs.viewport(), Qt::LeftButton, {}, RowPoint(dirs, one, 5));
        QTest::mouseRelease(dirs.viewport(), Qt::LeftButton, {}, RowPoint(dirs, one, 5));
        QCOMPARE(dirs.Directory(), t.path("top"));
        QVERIFY(dirs.GetChecked(one));
        QCOMPARE(clicks.rows.size(), 3);
        // x = 16 is neither the check box nor the row: it only selects.
        QTest::mouseClick(dirs.viewport(), Qt::LeftButton, {}, RowPoint(dirs, one, 16));
        QCOMPARE(dirs.Directory(), t.path("top"));
        QCOMPARE(dirs.currentRow(), one);

        QTest::mouseClick(dirs.viewport(), Qt::LeftButton, {}, RowPoint(dirs, one, 17));
        QCOMPARE(dirs.Directory(), t.path("top/one"));
        QCOMPARE(Checks(dirs), QList<bool>(dirs.Count(), false));
        QCOMPARE(clicks.rows.size(), 3);
    }

    void directoryVariantEnterStillOpens()
    {
        TempTree t;
        QVERIFY(t.createDir("top/one"));
        TCheckDirectoryListBoxEx dirs;
        ShowDirsOn(dirs, t.path("top"));
        dirs.setFocus();
        dirs.setCurrentRow(dirs.Count() - 1);
        QTest::keyClick(&dirs, Qt::Key_Space);
        QVERIFY(dirs.GetChecked(dirs.Count() - 1));
        QCOMPARE(dirs.currentRow(), dirs.Count() - 1);
        QTest::keyClick(&dirs, Qt::Key_Return);
        QCOMPARE(dirs.Directory(), t.path("top/one"));
    }

    // The check column keeps the list's own background on a selected row,
    // and the row is drawn in the rest.
    void checkColumnIsNeverHighlighted()
    {
        TempTree t;
        TCheckFileListBoxEx list;
        ShowFiles(list, t, {"a.txt"});
        list.SetItemIndex(0);
        list.setFocus();
        const QImage shot = list.viewport()->grab().toImage();
        const int y = list.visualRect(list.model()->index(0, 0)).top() + 1;
        const QColor base = list.palette().color(QPalette::Active, QPalette::Base);
        const QColor highlight = list.palette().color(QPalette::Active, QPalette::Highlight);
        QCOMPARE(shot.pixelColor(17, y), base);
        QCOMPARE(shot.pixelColor(list.viewport()->width() - 3, y), highlight);
    }
};

QVL_TEST_MAIN(CheckListBoxExTest)
#include "CheckListBoxExTest.moc"
