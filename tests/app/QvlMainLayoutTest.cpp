// The window's frame: splitter ratios and their resize rules, the log pane,
// menus, tool bar, hints and the two views.
#include "tests/app/MainFormFixture.h"
#include "tests/common/QvlTestMain.h"
#include "app/RatioSplitter.h"

#include <QMenuBar>
#include <QSplitterHandle>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>

using QvlTest::MainFormFixture;

class QvlMainLayoutTest : public QObject
{
    Q_OBJECT

private:
    static int Expected(int whole, int percent) { return int(double(whole) * percent * 0.01); }

    // Drags a splitter's handle by `delta` pixels, as the user does.
    static void Drag(QSplitter *splitter, int delta)
    {
        QSplitterHandle *handle = splitter->handle(1);
        const QPoint from = handle->rect().center();
        const QPoint to = splitter->orientation() == Qt::Horizontal ? from + QPoint(delta, 0) : from + QPoint(0, delta);
        QTest::mousePress(handle, Qt::LeftButton, {}, from);
        QTest::mouseMove(handle, to);
        QTest::mouseRelease(handle, Qt::LeftButton, {}, to);
    }

private slots:
    void splitPercentRoundsHalfUp_data()
    {
        QTest::addColumn<int>("part");
        QTest::addColumn<int>("whole");
        QTest::addColumn<int>("percent");
        QTest::newRow("33.4%") << 334 << 1000 << 33;
        QTest::newRow("33.5%") << 335 << 1000 << 34;
        QTest::newRow("half") << 323 << 646 << 50;
        QTest::newRow("nothing") << 0 << 500 << 0;
        QTest::newRow("no whole") << 10 << 0 << 0;
    }

    void splitPercentRoundsHalfUp()
    {
        QFETCH(int, part);
        QFETCH(int, whole);
        QFETCH(int, percent);
        QCOMPARE(SplitPercent(part, whole), percent);
    }

    void startsAtItsDesignSize()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        QCOMPARE(f.form->minimumWidth(), 600);
        QVERIFY(f.form->minimumHeight() >= 400);
        QCOMPARE(f.ui()->ClientPanel->width(), 650);
        QCOMPARE(f.form->height() - f.form->menuBar()->height(), 650);
        QVERIFY(f.ui()->PanelMain->isVisible());
        QVERIFY(!f.ui()->PanelVerify->isVisible());
        QCOMPARE(f.ui()->AOptionPanel->height(), 70);
        QCOMPARE(f.ui()->EditSource->parentWidget()->height(), 21);
        QCOMPARE(f.ui()->PanelTreesSplitter->Tag(), 50);
        QCOMPARE(f.ui()->SourceSplitter->Tag(), 70);
        QCOMPARE(f.ui()->TargetSplitter->Tag(), 70);
        QCOMPARE(f.ui()->PanelTreeL->width(), Expected(f.ui()->PanelTrees->width() - 4, 50));
        QCOMPARE(f.ui()->SourceTreeView->height(), Expected(f.ui()->PanelTreeL->height() - 27, 70));
        QCOMPARE(f.ui()->TargetTreeView->height(), Expected(f.ui()->PanelTreeR->height() - 27, 70));
        QCOMPARE(f.ui()->ListLog->focusPolicy(), Qt::ClickFocus);
        QVERIFY(!f.ui()->StartBtn->isEnabled());
        QVERIFY(f.ui()->RadioDelNone->isChecked());
    }

    void theLeftPaneKeepsItsShareWhenTheWindowWidens()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        f.form->resize(850, f.form->height());
        QTRY_COMPARE(f.ui()->ClientPanel->width(), 850);
        QCOMPARE(f.ui()->PanelTreeL->width(), Expected(f.ui()->PanelTrees->width() - 4, 50));

        // The user gives the left pane about 30%; a resize keeps that share.
        const int target = int((f.ui()->PanelTrees->width() - 4) * 0.3);
        Drag(f.ui()->PanelTreesSplitter, target - f.ui()->PanelTreeL->width());
        QCOMPARE(f.ui()->PanelTreesSplitter->Tag(), 30);
        f.form->resize(700, f.form->height() + 50);
        QTRY_COMPARE(f.ui()->ClientPanel->width(), 700);
        QCOMPARE(f.ui()->PanelTreeL->width(), Expected(f.ui()->PanelTrees->width() - 4, 30));
        QCOMPARE(f.ui()->SourceTreeView->height(), Expected(f.ui()->PanelTreeL->height() - 27, 70));

        // The tree's share of its pane works the same way.
        Drag(f.ui()->SourceSplitter, -60);
        const int tag = f.ui()->SourceSplitter->Tag();
        QVERIFY(tag < 70);
        QCOMPARE(tag, SplitPercent(f.ui()->SourceTreeView->height(), f.ui()->PanelTreeL->height() - 27));
        f.form->resize(700, f.form->height() + 80);
        QTRY_COMPARE(f.ui()->SourceTreeView->height(), Expected(f.ui()->PanelTreeL->height() - 27, tag));
        QCOMPARE(f.ui()->TargetTreeView->height(), Expected(f.ui()->PanelTreeR->height() - 27, 70));
    }

    void panesKeepTheirMinimumSizes()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        QCOMPARE(f.ui()->SourceTreeView->minimumHeight(), 50);
        QCOMPARE(f.ui()->SourceFileListBox->minimumHeight(), 50);
        QCOMPARE(f.ui()->PanelTreeL->minimumWidth(), 60);
        QCOMPARE(f.ui()->PanelTreeR->minimumWidth(), 60);
        QCOMPARE(f.ui()->PanelTrees->minimumHeight(), 200);
        QCOMPARE(f.ui()->ListLog->minimumHeight(), 80);
        Drag(f.ui()->PanelTreesSplitter, -2000);
        QCOMPARE(f.ui()->PanelTreeL->width(), 60);
        Drag(f.ui()->SourceSplitter, 2000);
        QCOMPARE(f.ui()->SourceFileListBox->height(), 50);
    }

    // At its smallest the window still shows every pane whole: the minimum
    // grows beyond 600 x 400 where the panes' own minimums need it.
    void theSmallestWindowOverlapsNothing()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        const int withLog = f.form->minimumHeight();
        f.ui()->MenuShowLog->trigger();
        QCOMPARE(f.form->minimumWidth(), 600);
        QVERIFY(f.form->minimumHeight() >= 400);
        QVERIFY(f.form->minimumHeight() < withLog);
        f.ui()->MenuShowLog->trigger();
        QCOMPARE(f.form->minimumHeight(), withLog);
        f.form->resize(100, 100);
        QTRY_COMPARE(f.form->size(), f.form->minimumSize());
        QTRY_VERIFY(f.ui()->ListLog->geometry().top() > f.ui()->PanelTrees->geometry().bottom());
        QCOMPARE(f.ui()->PanelTrees->height(), 200);
        QCOMPARE(f.ui()->ListLog->height(), 80);
        const QRect strip = f.ui()->AOptionPanel->rect();
        QRect previous;
        for (QWidget *w : {static_cast<QWidget *>(f.ui()->FrameQvlLogo1), static_cast<QWidget *>(f.ui()->GroupOptions),
                           static_cast<QWidget *>(f.ui()->GroupDelete), static_cast<QWidget *>(f.ui()->StartBtn)}) {
            QVERIFY2(strip.contains(w->geometry()), qPrintable(w->objectName()));
            QVERIFY2(!w->geometry().intersects(previous), qPrintable(w->objectName()));
            previous = w->geometry();
        }
    }

    void showLogHidesAndShowsTheLogWithItsBar()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        QAction *item = f.ui()->MenuShowLog;
        QVERIFY(item->isChecked());
        QSplitterHandle *bar = f.ui()->ListSplitter->handle(1);
        QVERIFY(bar->isVisible());
        const int treesHeight = f.ui()->PanelTrees->height();
        item->trigger();
        QVERIFY(!item->isChecked());
        QVERIFY(!f.ui()->ListLog->isVisible());
        QVERIFY(!bar->isVisible());
        QTRY_VERIFY(f.ui()->PanelTrees->height() > treesHeight);
        item->trigger();
        QVERIFY(item->isChecked());
        QVERIFY(f.ui()->ListLog->isVisible());
        QVERIFY(bar->isVisible());
        // Directly above: the bar may overlap the log's edge by the style's
        // grab margin.
        QTRY_VERIFY(qAbs(bar->geometry().bottom() + 1 - f.ui()->ListLog->geometry().top()) <= 1);
        QCOMPARE(f.ui()->ListSplitter->handleWidth(), 3);
    }

    void menusAndToolBarAsTheUserSeesThem()
    {
        MainFormFixture f;
        QStringList menus;
        for (QAction *a : f.form->menuBar()->actions())
            if (a->isVisible())
                menus << a->text();
        QCOMPARE(menus, (QStringList{"&File", "&View", "&Settings"}));
        QStringList fileItems;
        for (QAction *a : f.ui()->MenuFile->actions())
            if (a->isVisible())
                fileItems << (a->isSeparator() ? QString("-") : a->text());
        QCOMPARE(fileItems, (QStringList{"-", "Check Against Checksums...", "E&xit", "-"}));
        for (QAction *hidden : {f.ui()->FileNewItem, f.ui()->FileOpenItem, f.ui()->FileSaveItem, f.ui()->FileSaveAsItem,
                                f.ui()->FilePrintItem, f.ui()->FilePrintSetupItem, f.ui()->SpeedButtonHelp, f.ui()->Button1})
            QVERIFY2(!hidden->isVisible() && !hidden->isEnabled(), qPrintable(hidden->objectName()));
        QStringList tools;
        for (QAction *a : f.ui()->ToolBar1->actions())
            if (a->isVisible())
                tools << (a->isSeparator() ? QString("-") : a->objectName());
        QCOMPARE(tools, (QStringList{"SpeedButtonExit", "SB_sync", "-", "SpeedButtonAbout"}));
        QCOMPARE(f.ui()->ToolBar1->widgetForAction(f.ui()->SB_sync)->size(), QSize(25, 25));
        QVERIFY(f.ui()->SB_sync->isCheckable());
        QVERIFY(!f.ui()->SB_sync->isChecked());
        // The tips name the keyboard ways too.
        QCOMPARE(f.ui()->SpeedButtonExit->toolTip(), QString("Exit (Ctrl+Q)"));
        QCOMPARE(f.ui()->FileExitItem->toolTip(), QString("Exit this application (Ctrl+Q)"));
        QCOMPARE(f.ui()->SpeedButtonExit->statusTip(), QString("Quit Quorvel and go have a pop"));
    }

    void theStatusLineShowsTheLongHint()
    {
        MainFormFixture f;
        QCOMPARE(f.ui()->SourceTreeView->toolTip(), QString());
        QCOMPARE(f.ui()->SourceTreeView->statusTip(), QString("Select a Source path."));
        QCOMPARE(f.ui()->StartBtn->toolTip(), QString("Start (Ctrl+Return)"));
        QCOMPARE(f.ui()->StartBtn->statusTip(), QString("Click to begin verifying file or folder"));
        QStatusTipEvent tip(f.ui()->StartBtn->statusTip());
        QApplication::sendEvent(f.ui()->StartBtn, &tip);
        QCOMPARE(f.form->statusBar()->currentMessage(), QString("Click to begin verifying file or folder"));
    }

    void theVerifyViewHidesPathSelectionMenus()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        f.form->ShowVerifyView(true);
        QVERIFY(!f.ui()->PanelMain->isVisible());
        QVERIFY(f.ui()->PanelVerify->isVisible());
        QVERIFY(!f.ui()->MenuView->menuAction()->isVisible());
        QVERIFY(!f.ui()->MenuSettings->menuAction()->isVisible());
        f.ui()->ReturnBitBtn->click();
        QVERIFY(f.ui()->PanelMain->isVisible());
        QVERIFY(!f.ui()->PanelVerify->isVisible());
        QVERIFY(f.ui()->MenuView->menuAction()->isVisible());
    }

    void exitClosesTheWindowOnlyWithoutARun()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        f.ui()->ReturnBitBtn->setEnabled(false); // a run is in progress
        f.ui()->SpeedButtonExit->trigger();
        QVERIFY(f.form->isVisible());
        QVERIFY(!f.form->close());
        f.ui()->ReturnBitBtn->setEnabled(true);
        f.ui()->FileExitItem->trigger();
        QVERIFY(!f.form->isVisible());
    }
};

QVL_TEST_MAIN(QvlMainLayoutTest)
#include "QvlMainLayoutTest.moc"
