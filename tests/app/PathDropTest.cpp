// Folders and files dragged from a file manager onto the path boxes, the
// trees and the window: the URI list is read byte-exactly, only local files
// are taken, and a dropped path is entered as a typed one is.
#include "tests/app/MainFormFixture.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include "app/PathDrop.h"

#include <QMimeData>
#include <QSysInfo>
#include <QStatusBar>
#include <QWindow>

using QvlTest::MainFormFixture;

namespace {

std::unique_ptr<QMimeData> UriList(const QByteArray &list)
{
    auto mime = std::make_unique<QMimeData>();
    mime->setData(QStringLiteral("text/uri-list"), list);
    return mime;
}

QByteArray FileUrl(const std::string &path)
{
    return "file://" + QByteArray::fromStdString(path).toPercentEncoding("/");
}

QByteArray UrlList(const std::vector<std::string> &paths)
{
    QByteArray list;
    for (const std::string &p : paths)
        list += FileUrl(p) + "\r\n";
    return list;
}

// A drag over `widget` and a drop there, given to the window as the window
// system gives them: the window finds the widget under the point that takes
// drops, as with a real drag. True when the drag was taken.
bool DragAndDrop(QWidget *widget, const QByteArray &list)
{
    QWidget *top = widget->window();
    QWindow *window = top->windowHandle();
    const auto mime = UriList(list);
    const QPoint at = widget->mapTo(top, widget->rect().center());
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    if (!enter.isAccepted()) {
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(window, &leave);
        return false;
    }
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::LinkAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    return drop.isAccepted();
}

} // namespace

class PathDropTest : public QObject
{
    Q_OBJECT

private:
    QvlTest::TempTree tree;
    QString root;

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        for (const char *dir : {"alpha", "beta", "with blank"})
            QVERIFY(tree.createDir(dir));
        QVERIFY(tree.createFile("alpha/small.txt", "abc"));
        root = MainFormFixture::Q(tree.root());
    }

    // The list's own rules: comments and blank lines skipped, CRLF or LF,
    // escapes undone byte by byte (a name that is not UTF-8 keeps its
    // bytes), the trailing slash of a folder dropped; anything not a file of
    // this machine makes the whole drag worthless.
    void uriListIsReadByteExactly()
    {
        QCOMPARE(DroppedPaths(UriList("# from a file manager\r\nfile:///tmp/a%20b/\r\n\nfile:///x\n").get()),
                 (std::vector<std::string>{"/tmp/a b", "/x"}));
        QCOMPARE(DroppedPaths(UriList("file:///tmp/caf%C3%A9%FF").get()),
                 (std::vector<std::string>{"/tmp/caf\xc3\xa9\xff"}));
        QCOMPARE(DroppedPaths(UriList("file://localhost/srv/data").get()),
                 (std::vector<std::string>{"/srv/data"}));
        QCOMPARE(DroppedPaths(UriList("file://" + QSysInfo::machineHostName().toUtf8() + "/srv").get()),
                 (std::vector<std::string>{"/srv"}));
        QCOMPARE(DroppedPaths(UriList("file:///").get()), (std::vector<std::string>{"/"}));

        for (const QByteArray &refused : {QByteArray("https://example.org/a"), QByteArray("file://elsewhere.example/a"),
                                          QByteArray("file:///a\nsmb://server/share"), QByteArray("file:///a%00b"),
                                          QByteArray(""), QByteArray("# nothing\n")})
            QVERIFY2(DroppedPaths(UriList(refused).get()).empty(), refused.constData());
        // Plain text is not a list of files, even when it reads as a path.
        QMimeData text;
        text.setText(QStringLiteral("/tmp"));
        QVERIFY(DroppedPaths(&text).empty());
    }

    // A folder dropped on the Source box is taken as Enter takes a typed
    // one: the tree selects it and the box shows it; a file goes into the
    // Target box with its folder in the tree and itself in the file list.
    void dropOnBoxEntersThePath()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        QVERIFY(DragAndDrop(f.ui()->EditSource, UrlList({tree.path("with blank")})));
        QVERIFY(f.boxes.empty());
        QCOMPARE(f.ui()->EditSource->text(), root + "/with blank");
        QCOMPARE(f.ui()->SourceTreeView->Selection(), tree.path("with blank"));

        QVERIFY(DragAndDrop(f.ui()->EditTarget, UrlList({tree.path("alpha/small.txt")})));
        QCOMPARE(f.ui()->EditTarget->text(), root + "/alpha/small.txt");
        QCOMPARE(f.ui()->TargetTreeView->Selection(), tree.path("alpha"));
        QCOMPARE(f.ui()->TargetFileListBox->FileName(), tree.path("alpha/small.txt"));
        // The source box kept its folder.
        QCOMPARE(f.ui()->EditSource->text(), root + "/with blank");
    }

    // The tree takes a drop for its own side; a path that does not exist
    // gets the box a typed one gets.
    void dropOnTreeEntersThePathOfItsSide()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        QVERIFY(DragAndDrop(f.ui()->TargetTreeView->viewport(), UrlList({tree.path("beta")})));
        QCOMPARE(f.ui()->TargetTreeView->Selection(), tree.path("beta"));
        QCOMPARE(f.ui()->EditTarget->text(), root + "/beta");
        QVERIFY(f.ui()->EditSource->text().isEmpty());

        QVERIFY(DragAndDrop(f.ui()->SourceTreeView->viewport(), UrlList({tree.path("gone")})));
        QCOMPARE(int(f.boxes.size()), 1);
        QCOMPARE(f.boxes[0].text, "'" + root + "/gone' is not a valid path name.");
    }

    // Two folders dropped on the window (or on either box) fill Source and
    // Target in the order given; one folder on the window, three at once,
    // or a web address are refused and change nothing.
    void twoFoldersFillBothSides()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        QWidget *elsewhere = f.form->statusBar();
        QVERIFY(!DragAndDrop(elsewhere, UrlList({tree.path("alpha")})));
        QVERIFY(!DragAndDrop(elsewhere, UrlList({tree.path("alpha"), tree.path("beta"), tree.path("with blank")})));
        QVERIFY(!DragAndDrop(f.ui()->EditSource, "https://example.org/photos\r\n"));
        QVERIFY(f.ui()->EditSource->text().isEmpty());
        QVERIFY(f.ui()->EditTarget->text().isEmpty());

        QVERIFY(DragAndDrop(elsewhere, UrlList({tree.path("beta"), tree.path("alpha")})));
        QCOMPARE(f.ui()->EditSource->text(), root + "/beta");
        QCOMPARE(f.ui()->EditTarget->text(), root + "/alpha");
        QVERIFY(f.ui()->StartBtn->isEnabled());

        QVERIFY(DragAndDrop(f.ui()->EditTarget, UrlList({tree.path("alpha"), tree.path("with blank")})));
        QCOMPARE(f.ui()->EditSource->text(), root + "/alpha");
        QCOMPARE(f.ui()->EditTarget->text(), root + "/with blank");
        QVERIFY(f.boxes.empty());
    }

    // While the boxes are disabled, nothing can be dropped into them.
    void disabledBoxesRefuseDrops()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        f.ui()->EditSource->setEnabled(false);
        QVERIFY(!DragAndDrop(f.form->statusBar(), UrlList({tree.path("beta"), tree.path("alpha")})));
        QVERIFY(f.ui()->EditSource->text().isEmpty());
        QVERIFY(f.ui()->EditTarget->text().isEmpty());
    }
};

QVL_TEST_MAIN(PathDropTest)
#include "PathDropTest.moc"
