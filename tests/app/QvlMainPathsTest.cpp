// The path boxes of the main window: the Start rule, Enter, completion,
// history lists and pop-up menus, driven on the real window.
#include "tests/app/MainFormFixture.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <QListWidget>
#include <QMenu>
#include <QStatusBar>

#include <sys/stat.h>
#include <unistd.h>

using QvlTest::MainFormFixture;

class QvlMainPathsTest : public QObject
{
    Q_OBJECT

private:
    QvlTest::TempTree tree;
    QString root;

    // Selects a folder in the Source tree as a user would, so that the box,
    // the file list and the completion candidates follow it.
    static void BrowseSource(MainFormFixture &f, const QString &folder)
    {
        f.ui()->SourceTreeView->SetSelection(QFile::encodeName(folder).toStdString());
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        for (const char *dir : {"alpha", "beta", "betamax", "gamma", "Delta", "with blank"})
            QVERIFY(tree.createDir(dir));
        QVERIFY(tree.createFile("alpha/big.bin", QByteArray(1536000, 'x')));
        QVERIFY(tree.createFile("alpha/small.txt", "abc"));
        QVERIFY(tree.createFile("beta/other.txt", "abc"));
        QVERIFY(tree.createFile(".hidden/inner/f.txt", "abc"));
        root = MainFormFixture::Q(tree.root());
    }

    void startRuleFollowsBothKinds_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("folder and folder") << "alpha" << "beta" << true;
        QTest::newRow("file and file") << "alpha/small.txt" << "beta/other.txt" << true;
        QTest::newRow("folder and file") << "alpha" << "beta/other.txt" << false;
        QTest::newRow("file and folder") << "alpha/small.txt" << "beta" << false;
        QTest::newRow("empty source") << "" << "beta" << false;
        QTest::newRow("empty target") << "alpha" << "" << false;
        QTest::newRow("both empty") << "" << "" << false;
        QTest::newRow("missing paths") << "nothing" << "nothing-either" << false;
    }

    void startRuleFollowsBothKinds()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(bool, enabled);
        MainFormFixture f;
        QVERIFY(!f.ui()->StartBtn->isEnabled());
        f.ui()->EditSource->setText(source.isEmpty() ? QString() : root + "/" + source);
        f.ui()->EditTarget->setText(target.isEmpty() ? QString() : root + "/" + target);
        QCOMPARE(f.ui()->StartBtn->isEnabled(), enabled);
    }

    void enterOnFolderWithBlanksSelectsIt()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        f.ui()->EditSource->setFocus();
        f.ui()->EditSource->setText("   " + root + "/with blank  ");
        QTest::keyClick(f.ui()->EditSource, Qt::Key_Return);
        QVERIFY(f.boxes.empty());
        QCOMPARE(f.ui()->SourceTreeView->Selection(), tree.path("with blank"));
        QCOMPARE(f.ui()->EditSource->text(), root + "/with blank");
        QCOMPARE(QDir::currentPath(), root + "/with blank");
        // Auto Expand is on only for that one selection.
        f.ui()->MenuAutoExpand->trigger();
        QVERIFY(!f.ui()->SourceTreeView->AutoExpand());
        f.ui()->EditSource->setText(root + "/gamma");
        QTest::keyClick(f.ui()->EditSource, Qt::Key_Return);
        QCOMPARE(f.ui()->SourceTreeView->Selection(), tree.path("gamma"));
        QVERIFY(!f.ui()->SourceTreeView->AutoExpand());
    }

    void enterOnFileSelectsItAndShowsItsSize()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        f.ui()->EditSource->setFocus();
        f.ui()->EditSource->setText(root + "/alpha/big.bin");
        QTest::keyClick(f.ui()->EditSource, Qt::Key_Return);
        QCOMPARE(f.ui()->SourceTreeView->Selection(), tree.path("alpha"));
        QCOMPARE(f.ui()->SourceFileListBox->FileName(), tree.path("alpha/big.bin"));
        QCOMPARE(f.ui()->EditSource->text(), root + "/alpha/big.bin");
        QCOMPARE(f.form->statusBar()->currentMessage(), QString("File selected - 1,500 KB"));

        // The tree already shows that folder: the size is still reported,
        // and the next tree selection shows its folder, not the old file.
        f.form->statusBar()->clearMessage();
        QTest::keyClick(f.ui()->EditSource, Qt::Key_Return);
        QCOMPARE(f.form->statusBar()->currentMessage(), QString("File selected - 1,500 KB"));
        BrowseSource(f, root + "/beta");
        QCOMPARE(f.ui()->EditSource->text(), root + "/beta");
    }

    // quorvel SOURCE TARGET: both boxes filled and taken as Enter takes
    // them (trees and file list follow); a path that is not valid gets the
    // box a typed one gets, and the other is still entered.
    void commandLinePathsFillBothBoxes()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        f.form->EnterPaths({tree.path("alpha/small.txt"), tree.path("beta/other.txt")});
        QVERIFY(f.boxes.empty());
        QCOMPARE(f.ui()->EditSource->text(), root + "/alpha/small.txt");
        QCOMPARE(f.ui()->EditTarget->text(), root + "/beta/other.txt");
        QCOMPARE(f.ui()->SourceFileListBox->FileName(), tree.path("alpha/small.txt"));
        QCOMPARE(f.ui()->TargetFileListBox->FileName(), tree.path("beta/other.txt"));
        QVERIFY(f.ui()->StartBtn->isEnabled());

        f.form->EnterPaths({tree.path("no such thing"), tree.path("gamma")});
        QCOMPARE(int(f.boxes.size()), 1);
        QCOMPARE(f.boxes[0].text, "'" + root + "/no such thing' is not a valid path name.");
        QCOMPARE(f.ui()->TargetTreeView->Selection(), tree.path("gamma"));
        QVERIFY(!f.ui()->StartBtn->isEnabled());
    }

    void enterOnInvalidPathComplains()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        BrowseSource(f, root + "/alpha");
        f.ui()->EditSource->setText(" " + root + "/no such thing");
        QTest::keyClick(f.ui()->EditSource, Qt::Key_Return);
        QCOMPARE(int(f.boxes.size()), 1);
        QCOMPARE(f.boxes[0].caption, QString("Path Not Valid            "));
        QCOMPARE(f.boxes[0].text, "'" + root + "/no such thing' is not a valid path name.");
        QCOMPARE(f.boxes[0].icon, int(QMessageBox::Warning));
        QCOMPARE(f.boxes[0].buttons, int(QMessageBox::Ok));
        QCOMPARE(f.ui()->EditSource->text(), root + "/no such thing");
        QCOMPARE(f.ui()->SourceTreeView->Selection(), tree.path("alpha"));
    }

    // The trees listed "alpha" before its new folder was made; typed in
    // both boxes, the new folder is what both select.
    void enterOnFolderMadeAfterItsParentWasListed()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        for (TSystemTreeView *view : {f.ui()->SourceTreeView, f.ui()->TargetTreeView}) {
            // Nothing watches the folders: only Enter itself may find the new
            // one.
            view->SetChangeNow(false);
            view->SetReadDelay(60000);
            view->SetSelection(tree.path("alpha"));
            QCOMPARE(view->Selection(), tree.path("alpha"));
            QVERIFY(view->GetNodeData(view->Selected())->Enumerated);
            QVERIFY(!view->WatchThread());
        }
        QVERIFY(tree.createDir("alpha/new_album"));
        const QString typed = root + "/alpha/new_album";
        for (QLineEdit *edit : {f.ui()->EditSource, f.ui()->EditTarget}) {
            edit->setFocus();
            edit->setText(typed);
            QTest::keyClick(edit, Qt::Key_Return);
            QCOMPARE(edit->text(), typed);
        }
        QVERIFY(f.boxes.empty());
        QCOMPARE(f.ui()->SourceTreeView->Selection(), tree.path("alpha/new_album"));
        QCOMPARE(f.ui()->TargetTreeView->Selection(), tree.path("alpha/new_album"));
        QVERIFY(f.ui()->StartBtn->isEnabled());
        // The new folder is the current one: leave it before it goes.
        QDir::setCurrent(root);
        QVERIFY(QDir(typed).removeRecursively());
    }

    // A path the tree cannot show (hidden folders left out) is refused as an
    // invalid one: the box, the tree and the current folder stay as they were.
    void enterOnPathTheTreeCannotShow_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("hidden folder") << "/.hidden/inner";
        QTest::newRow("file in a hidden folder") << "/.hidden/inner/f.txt";
    }

    void enterOnPathTheTreeCannotShow()
    {
        QFETCH(QString, typed);
        MainFormFixture f;
        QVERIFY(f.exposed);
        f.ui()->CheckBoxHidden->click();
        QVERIFY(!f.ui()->SourceTreeView->ShowHiddenDirs());
        BrowseSource(f, root + "/alpha");
        QCOMPARE(QDir::currentPath(), root + "/alpha");
        f.ui()->EditSource->setFocus();
        f.ui()->EditSource->setText(root + typed);
        QTest::keyClick(f.ui()->EditSource, Qt::Key_Return);
        QCOMPARE(int(f.boxes.size()), 1);
        QCOMPARE(f.boxes[0].caption, QString("Path Not Valid            "));
        QCOMPARE(f.boxes[0].text, "'" + root + typed + "' is not a valid path name.");
        QCOMPARE(f.ui()->EditSource->text(), root + typed);
        QCOMPARE(f.ui()->SourceTreeView->Selection(), tree.path("alpha"));
        QCOMPARE(QDir::currentPath(), root + "/alpha");
        // No file waits to be kept: the next tree selection shows its folder.
        BrowseSource(f, root + "/beta");
        QCOMPARE(f.ui()->EditSource->text(), root + "/beta");
    }

    // A folder whose name is not UTF-8 shows escaped in the box, and the box
    // still names that folder: for the Start rule and for Enter.
    void aFolderNotNamedInUtf8IsUsedFromTheBox()
    {
        QvlTest::TempTree odd;
        const std::string folder = odd.path("caf\xE9");
        // Made by its bytes: the tree fixture's own helpers take text.
        QCOMPARE(::mkdir(folder.c_str(), 0777), 0);
        MainFormFixture f;
        QVERIFY(f.exposed);
        f.ui()->SourceTreeView->SetSelection(folder);
        QCOMPARE(f.ui()->SourceTreeView->Selection(), folder);
        const QString shown = MainFormFixture::Q(odd.root()) + "/caf\\xE9";
        QCOMPARE(f.ui()->EditSource->text(), shown);
        f.ui()->EditTarget->setText(root + "/beta");
        QVERIFY(f.ui()->StartBtn->isEnabled());

        BrowseSource(f, root + "/gamma");
        f.ui()->EditSource->setFocus();
        f.ui()->EditSource->setText(shown);
        QTest::keyClick(f.ui()->EditSource, Qt::Key_Return);
        QVERIFY(f.boxes.empty());
        QCOMPARE(f.ui()->SourceTreeView->Selection(), folder);
        char current[4096];
        QCOMPARE(QByteArray(::getcwd(current, sizeof current)), QByteArray::fromStdString(folder));
        QDir::setCurrent(root);
    }

    void enterOnTildeMeansHome()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        f.ui()->EditTarget->setText("~");
        QTest::keyClick(f.ui()->EditTarget, Qt::Key_Return);
        QVERIFY(f.boxes.empty());
        QCOMPARE(QDir(MainFormFixture::Q(f.ui()->TargetTreeView->Selection())).canonicalPath(),
                 QDir::home().canonicalPath());
    }

    void completionOffersTheOnlyCandidate_data()
    {
        QTest::addColumn<QString>("preset");   // set without arming
        QTest::addColumn<QString>("typed");    // then typed key by key
        QTest::addColumn<QString>("expected"); // the box afterwards
        QTest::addColumn<QString>("selected"); // the selected tail
        QTest::newRow("one candidate") << "/al" << "p" << "/alpha/" << "ha/";
        QTest::newRow("two candidates") << "/be" << "t" << "/bet" << "";
        QTest::newRow("as long as the candidate") << "/gamm" << "a" << "/gamma" << "";
        QTest::newRow("real spelling") << "/" << "d" << "/Delta/" << "elta/";
        QTest::newRow("backspace completes when armed") << "/g" << "x\b" << "/gamma/" << "amma/";
        QTest::newRow("the drive root is never offered") << "" << "/" << "/" << "";
    }

    void completionOffersTheOnlyCandidate()
    {
        QFETCH(QString, preset);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QFETCH(QString, selected);
        MainFormFixture f;
        QVERIFY(f.exposed);
        BrowseSource(f, root);
        QCOMPARE(f.form->DirectoryListBox1->Directory(), tree.root());
        QLineEdit *edit = f.ui()->EditSource;
        edit->setFocus();
        f.form->FCompletionArmed = false;
        const QString base = preset.isEmpty() ? QString() : root;
        edit->setText(base + preset);
        for (const QChar c : typed)
            QTest::keyClick(edit, c == '\b' ? Qt::Key_Backspace : Qt::Key(c.toUpper().unicode()), Qt::NoModifier);
        const QString wanted = (preset.isEmpty() && expected == "/") ? QString("/") : root + expected;
        QCOMPARE(edit->text(), wanted);
        QCOMPARE(edit->selectedText(), selected);
    }

    void aClickInATreeDisarmsCompletion()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        f.form->FCompletionArmed = true;
        TSystemTreeView *view = f.ui()->TargetTreeView;
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualItemRect(view->FirstNode()).center());
        QVERIFY(!f.form->FCompletionArmed);
    }

    void backspaceLeavesTheFlagAsItWas()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        BrowseSource(f, root);
        QLineEdit *edit = f.ui()->EditSource;
        edit->setFocus();
        edit->setText(root + "/g");
        QTest::keyClick(edit, Qt::Key_A); // "/ga" completes to "/gamma/"
        QCOMPARE(edit->text(), root + "/gamma/");
        QVERIFY(!f.form->FCompletionArmed);
        QTest::keyClick(edit, Qt::Key_Backspace); // removes the offered tail
        QCOMPARE(edit->text(), root + "/ga");
        QVERIFY(!f.form->FCompletionArmed);
        // Typing on overwrites an offered tail.
        QTest::keyClick(edit, Qt::Key_M);
        QCOMPARE(edit->text(), root + "/gamma/");
        QTest::keyClick(edit, Qt::Key_X);
        QCOMPARE(edit->text(), root + "/gamx");
    }

    void historyKeepsOneEntryPerPathAndGrowsToFourRows()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        QListWidget *history = f.ui()->EditSourceHistory;
        QVERIFY(!history->isVisible());
        f.ui()->EditSource->setText(root + "/alpha");
        f.form->UpdatePathHistory();
        f.form->UpdatePathHistory();
        QCOMPARE(history->count(), 1);
        QCOMPARE(history->item(0)->text(), root + "/alpha");
        QCOMPARE(history->height(), 15);

        for (const char *dir : {"beta", "gamma", "Delta", "alpha", "with blank"}) {
            f.ui()->EditSource->setText(root + "/" + dir);
            f.form->UpdatePathHistory();
        }
        QCOMPARE(history->count(), 5);
        QCOMPARE(history->item(0)->text(), root + "/with blank");
        QCOMPARE(history->item(1)->text(), root + "/alpha");
        QCOMPARE(history->height(), 60);
        QCOMPARE(f.ui()->EditTargetHistory->count(), 1); // the empty Target box, once

        // Focusing the box shows the list; Down moves into it; Enter picks.
        f.ui()->EditSource->setFocus();
        QTRY_VERIFY(history->isVisible());
        QTest::keyClick(f.ui()->EditSource, Qt::Key_Down);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(history));
        QCOMPARE(history->currentRow(), 0);
        QTest::keyClick(history, Qt::Key_Down);
        QTest::keyClick(history, Qt::Key_Return);
        QVERIFY(!history->isVisible());
        QCOMPARE(f.ui()->SourceTreeView->Selection(), tree.path("alpha"));
        QCOMPARE(f.ui()->EditSource->text(), root + "/alpha");
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(f.ui()->EditSource));
    }

    void focusAndClicksShowTheHistory()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        QLineEdit *edit = f.ui()->EditSource;
        QListWidget *history = f.ui()->EditSourceHistory;
        edit->setText(root + "/alpha");
        f.form->UpdatePathHistory();
        // The click that focuses the box only ends the focusing.
        QTest::mouseClick(edit, Qt::LeftButton);
        QVERIFY(edit->hasFocus());
        QVERIFY(history->isVisible());
        QVERIFY(!f.form->FJustEntered);
        QTest::mouseClick(edit, Qt::LeftButton);
        QVERIFY(!history->isVisible());
        QTest::mouseClick(edit, Qt::LeftButton);
        QVERIFY(history->isVisible());
        QCOMPARE(history->geometry().top(), edit->parentWidget()->geometry().bottom() + 1);
        QCOMPARE(history->width(), edit->width());
        // A double click selects the whole text, Ctrl+A too.
        QTest::mouseDClick(edit, Qt::LeftButton);
        QCOMPARE(edit->selectedText(), edit->text());
        edit->deselect();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(edit->selectedText(), edit->text());
        // Leaving the box for another control hides the list.
        f.ui()->EditTarget->setFocus();
        QTRY_VERIFY(!history->isVisible());
    }

    void popupMenuStatesFollowTheBox()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        QMenu *menu = f.form->PopupSource;
        auto item = [menu](const QString &text) {
            for (QAction *a : menu->actions())
                if (a->text() == text)
                    return a;
            return static_cast<QAction *>(nullptr);
        };
        QVERIFY(item("Match Target"));
        QVERIFY(!item("Delete")->isVisible());
        const auto open = [menu] {
            menu->popup(QPoint());
            menu->hide();
        };
        open();
        for (const char *text : {"&Undo", "Cu&t", "&Copy", "Select All", "Delete", "Match Target"})
            QVERIFY2(!item(text)->isEnabled(), text);

        f.ui()->EditSource->setText(root);
        f.ui()->EditSource->setSelection(0, 3);
        f.ui()->TargetTreeView->SetSelection(tree.path("beta"));
        open();
        // "Delete" is never visible, which keeps it from being chosen.
        for (const char *text : {"Cu&t", "&Copy", "Select All", "Match Target"})
            QVERIFY2(item(text)->isEnabled(), text);

        item("Match Target")->trigger();
        QCOMPARE(f.ui()->SourceTreeView->Selection(), tree.path("beta"));
        QCOMPARE(f.ui()->EditSource->text(), f.ui()->EditTarget->text());
        QCOMPARE(f.ui()->EditSource->text(), root + "/beta");

        // Ctrl+M in the Target box is "Match Source".
        BrowseSource(f, root + "/gamma");
        f.ui()->EditTarget->setFocus();
        QTest::keyClick(f.ui()->EditTarget, Qt::Key_M, Qt::ControlModifier);
        QCOMPARE(f.ui()->TargetTreeView->Selection(), tree.path("gamma"));
        QCOMPARE(f.ui()->EditTarget->text(), root + "/gamma");
    }

    void resetPathSelectionEmptiesBothSides()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        BrowseSource(f, root + "/alpha");
        f.ui()->TargetTreeView->SetSelection(tree.path("beta"));
        QVERIFY(f.ui()->StartBtn->isEnabled());
        f.form->ResetPathSelection();
        QVERIFY(f.ui()->EditSource->text().isEmpty());
        QVERIFY(f.ui()->EditTarget->text().isEmpty());
        QCOMPARE(f.ui()->SourceFileListBox->Count(), 0);
        QCOMPARE(f.ui()->TargetFileListBox->Count(), 0);
        QVERIFY(!f.ui()->StartBtn->isEnabled());
    }
};

QVL_TEST_MAIN(QvlMainPathsTest)
#include "QvlMainPathsTest.moc"
