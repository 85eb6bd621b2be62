#include "platform/CurrentFolder.h"
#include "controls/filelist/DirectoryListBoxEx.h"
#include "tests/filelist/ListTestHelpers.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <QImage>
#include <QPainter>

using namespace QvlTest;

namespace {

// A double click as a window system delivers it to a widget: press,
// release, press, double click, release.
void DoubleClick(QWidget *widget, const QPoint &at)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mousePress(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

// A list that records what it draws where.
class TDrawProbe : public TDirectoryListBoxEx
{
public:
    using TDirectoryListBoxEx::TDirectoryListBoxEx;
    void Draw(int index, QImage &image)
    {
        QPainter painter(&image);
        painter.setBrush(Qt::white);
        painter.setPen(Qt::black);
        DrawItem(painter, index, QRect(0, 0, image.width(), image.height()));
    }
};

// The first column from the left with a pixel that is not white.
int FirstInkColumn(const QImage &image)
{
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (image.pixelColor(x, y) != QColor(Qt::white))
                return x;
    return -1;
}

} // namespace

class DirectoryListBoxExTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(SetCurrentFolder(QDir::tempPath().toStdString()) == 0);
    }

    // 4 per level and 2; the subfolders one level below the current folder,
    // wherever the drive root lies.
    void indentsFollowTheRows()
    {
        TempTree t;
        QVERIFY(t.createDir("a/b/sub1"));
        QVERIFY(t.createDir("a/b/sub2"));
        TDrawProbe dirs;
        dirs.SetDirectory(t.path("a/b"));
        const int current = dirs.DirectoryRow();
        QVERIFY(current >= 2);
        for (int i = 0; i <= current; ++i)
            QCOMPARE(dirs.RowIndent(i), 4 * i + 2);
        QCOMPARE(dirs.Count(), current + 3);
        QCOMPARE(dirs.RowIndent(current + 1), 4 * (current + 1) + 2);
        QCOMPARE(dirs.RowIndent(current + 2), 4 * (current + 1) + 2);
        QCOMPARE(dirs.ItemName(current + 1), std::string("sub1"));
        QCOMPARE(dirs.ItemName(0), dirs.GetItemPath(0));

        // The icon moves with the indent (the same open-folder icon on both
        // rows; the name is drawn after it).
        QImage rootRow(300, 20, QImage::Format_RGB32), currentRow(300, 20, QImage::Format_RGB32);
        rootRow.fill(Qt::white);
        currentRow.fill(Qt::white);
        dirs.Draw(0, rootRow);
        dirs.Draw(current, currentRow);
        QVERIFY(FirstInkColumn(rootRow) >= 2);
        QCOMPARE(FirstInkColumn(currentRow) - FirstInkColumn(rootRow), 4 * current);
    }

    void versionAndBorder()
    {
        TDirectoryListBoxEx dirs;
        QCOMPARE(dirs.GetVersionNr(), std::uint32_t(0x01020000));
        dirs.SetVersion("9.9");
        QCOMPARE(dirs.Version(), std::string("1.2.0.0"));
        QCOMPARE(dirs.BorderStyle(), bsSingle);
        QVERIFY(dirs.frameShape() != QFrame::NoFrame);
        dirs.SetBorderStyle(bsNone);
        QCOMPARE(dirs.frameShape(), QFrame::NoFrame);
        QCOMPARE(dirs.CheckWidth(), 0);
        QVERIFY(!dirs.DirectOpen());
    }

    void singleClickOpensOnlyWithDirectOpen()
    {
        TempTree t;
        QVERIFY(t.createDir("top/inner/deeper"));
        TDirectoryListBoxEx dirs;
        ShowDirsOn(dirs, t.path("top"));
        const int row = dirs.Count() - 1;
        QTest::mouseClick(dirs.viewport(), Qt::LeftButton, {}, RowPoint(dirs, row, 40));
        QCOMPARE(dirs.currentRow(), row);
        QCOMPARE(dirs.Directory(), t.path("top"));

        dirs.SetDirectOpen(true);
        // Another button selects nothing and opens nothing.
        QTest::mouseClick(dirs.viewport(), Qt::RightButton, {}, RowPoint(dirs, row, 40));
        QCOMPARE(dirs.Directory(), t.path("top"));
        QTest::mouseClick(dirs.viewport(), Qt::LeftButton, {}, RowPoint(dirs, row, 40));
        QCOMPARE(dirs.Directory(), t.path("top/inner"));
        QCOMPARE(CurrentFolder(), t.path("top/inner"));
        // A click below the rows opens nothing.
        QTest::mouseClick(dirs.viewport(), Qt::LeftButton, {}, QPoint(40, dirs.viewport()->height() - 2));
        QCOMPARE(dirs.Directory(), t.path("top/inner"));
    }

    // The first click opens the folder; the second must not open whatever
    // row the rebuilt list puts under the pointer.
    void doubleClickWithDirectOpenOpensOnce()
    {
        TempTree t;
        QVERIFY(t.createDir("top/a1"));
        QVERIFY(t.createDir("top/a2"));
        QVERIFY(t.createDir("top/inner/x"));
        QVERIFY(t.createDir("top/inner/y/deeper"));
        TDirectoryListBoxEx dirs;
        ShowDirsOn(dirs, t.path("top"));
        dirs.SetDirectOpen(true);
        const QPoint at = RowPoint(dirs, dirs.Count() - 1, 40);
        DoubleClick(dirs.viewport(), at);
        QCOMPARE(dirs.Directory(), t.path("top/inner"));
        // Rebuilt after the first click: "y" stands where "inner" stood,
        // and the second click only selected it.
        const int under = dirs.indexAt(at).row();
        QCOMPARE(dirs.GetItemPath(under), t.path("top/inner/y"));
        QCOMPARE(dirs.currentRow(), under);
        // A later single click opens again.
        QTest::mouseClick(dirs.viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(dirs.Directory(), t.path("top/inner/y"));
    }

    void doubleClickOpensWithoutDirectOpen()
    {
        TempTree t;
        QVERIFY(t.createDir("top/inner"));
        TDirectoryListBoxEx dirs;
        ShowDirsOn(dirs, t.path("top"));
        const QPoint at = RowPoint(dirs, dirs.Count() - 1, 40);
        DoubleClick(dirs.viewport(), at);
        QCOMPARE(dirs.Directory(), t.path("top/inner"));
    }
};

QVL_TEST_MAIN(DirectoryListBoxExTest)
#include "DirectoryListBoxExTest.moc"
