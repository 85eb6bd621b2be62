// The filter box, the hidden-files option and the file lists' events.
#include "tests/app/MainFormFixture.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <QComboBox>
#include <QStatusBar>

using QvlTest::MainFormFixture;

class QvlMainOptionsTest : public QObject
{
    Q_OBJECT

private:
    QvlTest::TempTree tree;

    static QStringList Rows(const TFileListBoxEx *list)
    {
        QStringList rows;
        for (int i = 0; i < list->Count(); ++i)
            rows << QString::fromStdString(list->Items(i));
        return rows;
    }

    static QStringList Entries(const QComboBox *box)
    {
        QStringList entries;
        for (int i = 0; i < box->count(); ++i)
            entries << box->itemText(i);
        return entries;
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        for (const char *file : {"src/a.txt", "src/b.mp3", "src/c.doc", "src/.hidden.txt", "dst/x.txt"})
            QVERIFY(tree.createFile(file, "data"));
        QVERIFY(tree.createDir("src/.hiddendir"));
    }

    void filterTextBecomesTheMask_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("two masks of the hint") << "*.txt; *.mp3" << "*.txt;*.mp3" << QStringList{".hidden.txt", "a.txt", "b.mp3"};
        QTest::newRow("blank inside a name") << "  a .txt " << "a.txt" << QStringList{"a.txt"};
        QTest::newRow("empty") << "" << "" << QStringList{};
    }

    void filterTextBecomesTheMask()
    {
        QFETCH(QString, typed);
        QFETCH(QString, mask);
        QFETCH(QStringList, rows);
        MainFormFixture f;
        QVERIFY(f.exposed);
        QCOMPARE(f.ui()->MyFilterBox->currentText(), QString("*.*"));
        QCOMPARE(f.ui()->LabelFilter->text(), QString("*.*"));
        f.ui()->SourceTreeView->SetSelection(tree.path("src"));
        f.ui()->TargetTreeView->SetSelection(tree.path("dst"));
        f.ui()->MyFilterBox->setEditText(typed);
        QCOMPARE(QString::fromStdString(f.ui()->SourceFileListBox->Mask()), mask);
        QCOMPARE(QString::fromStdString(f.ui()->TargetFileListBox->Mask()), mask);
        QCOMPARE(f.ui()->LabelFilter->text(), mask);
        QCOMPARE(Rows(f.ui()->SourceFileListBox), rows);
    }

    void enterRemembersAFilterSecond()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        QComboBox *box = f.ui()->MyFilterBox;
        box->setFocus();
        auto type = [&](const QString &text) {
            box->setEditText(text);
            QTest::keyClick(box, Qt::Key_Return);
        };
        type("*.doc");
        type("*.txt");
        QCOMPARE(Entries(box), (QStringList{"*.*", "*.txt", "*.doc"}));
        QCOMPARE(box->currentText(), QString("*.txt"));
        type("  *.doc ");
        QCOMPARE(Entries(box), (QStringList{"*.*", "*.txt", "*.doc"}));
        QCOMPARE(box->currentText(), QString("*.doc"));
        type("*.DOC");
        QCOMPARE(Entries(box), (QStringList{"*.*", "*.DOC", "*.txt", "*.doc"}));
        // Leaving the box remembers too; the text stays as typed.
        box->setEditText(" *.mp3");
        f.ui()->EditSource->setFocus();
        QTRY_COMPARE(Entries(box), (QStringList{"*.*", "*.mp3", "*.DOC", "*.txt", "*.doc"}));
        QCOMPARE(box->currentText(), QString(" *.mp3"));
    }

    void hiddenFilesActOnTreesAndOnListsWithAPath()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        QVERIFY(f.ui()->CheckBoxHidden->isChecked());
        f.ui()->SourceTreeView->SetSelection(tree.path("src"));
        QVERIFY(Rows(f.ui()->SourceFileListBox).contains(".hidden.txt"));
        QVERIFY(f.ui()->EditTarget->text().isEmpty());
        QCOMPARE(f.ui()->TargetFileListBox->Count(), 0);

        QTest::mouseClick(f.ui()->CheckBoxHidden, Qt::LeftButton, {}, QPoint(5, f.ui()->CheckBoxHidden->height() / 2));
        QVERIFY(!f.ui()->CheckBoxHidden->isChecked());
        QVERIFY(!f.ui()->SourceTreeView->ShowHiddenDirs());
        QVERIFY(!f.ui()->TargetTreeView->ShowHiddenDirs());
        QCOMPARE(Rows(f.ui()->SourceFileListBox), (QStringList{"a.txt", "b.mp3", "c.doc"}));
        QCOMPARE(f.ui()->TargetFileListBox->Count(), 0); // its box is empty: not re-read
        QVERIFY(!f.ui()->TargetFileListBox->FileType().Contains(ftHidden));
        // The trees were rebuilt without hidden folders.
        f.ui()->SourceTreeView->SetSelection(tree.path("src/.hiddendir"));
        QCOMPARE(f.ui()->SourceTreeView->Selection(), tree.path("src"));

        f.ui()->CheckBoxHidden->click();
        QVERIFY(f.ui()->SourceTreeView->ShowHiddenDirs());
        QVERIFY(Rows(f.ui()->SourceFileListBox).contains(".hidden.txt"));
        f.ui()->SourceTreeView->SetSelection(tree.path("src/.hiddendir"));
        QCOMPARE(f.ui()->SourceTreeView->Selection(), tree.path("src/.hiddendir"));
    }

    void clickingAFileTakesItIntoTheBox()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        f.ui()->SourceTreeView->SetSelection(tree.path("src"));
        f.ui()->TargetTreeView->SetSelection(tree.path("dst"));
        QVERIFY(f.ui()->StartBtn->isEnabled());
        TFileListBoxEx *list = f.ui()->TargetFileListBox;
        QCOMPARE(Rows(list), QStringList{"x.txt"});
        const QRect row = list->visualRect(list->model()->index(0, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(f.ui()->EditTarget->text(), MainFormFixture::Q(tree.path("dst/x.txt")));
        QCOMPARE(f.form->statusBar()->currentMessage(), QString("File selected - 0 KB"));
        QVERIFY(!f.ui()->StartBtn->isEnabled()); // a folder against a file

        // Leaving the list deselects its row; the box keeps the file.
        f.ui()->EditSource->setFocus();
        QTRY_COMPARE(list->ItemIndex(), -1);
        QCOMPARE(f.ui()->EditTarget->text(), MainFormFixture::Q(tree.path("dst/x.txt")));
    }

    void aTreeNodeWithoutPathEmptiesItsSide()
    {
        MainFormFixture f;
        QVERIFY(f.exposed);
        f.ui()->SourceTreeView->SetSelection(tree.path("src"));
        QVERIFY(f.ui()->SourceFileListBox->Count() > 0);
        f.ui()->SourceTreeView->SetSelected(f.ui()->SourceTreeView->FirstNode()); // the Desktop
        QVERIFY(f.ui()->EditSource->text().isEmpty());
        QCOMPARE(f.ui()->SourceFileListBox->Count(), 0);
    }
};

QVL_TEST_MAIN(QvlMainOptionsTest)
#include "QvlMainOptionsTest.moc"
