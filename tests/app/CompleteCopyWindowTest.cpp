// "Compare Attributes" and "List Target-Only Files" through the real main
// window, offscreen: off at start; checked, their lines reach the verify
// log, stay in the problems-only view, make the verdict "Not an exact copy"
// and become rows of the report.
#include "tests/app/MainFormFixture.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include "app/QvlMainRun.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include <sys/stat.h>
#include <utime.h>

using QvlTest::MainFormFixture;

namespace {

TRunControl &Run(MainFormFixture &f)
{
    return *f.form->RunControl;
}

QString Q(const std::string &s)
{
    return MainFormFixture::Q(s);
}

QString VerdictText(MainFormFixture &f)
{
    return Run(f).VerdictStrip()->findChild<QLabel *>(QStringLiteral("VerdictText"))->text();
}

} // namespace

class CompleteCopyWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void bothOptionsReachTheRunAndItsVerdict()
    {
        QvlTest::TempTree t;
        for (const char *side : {"src/", "dst/"}) {
            QVERIFY(t.createFile(side + std::string("same.txt"), "same"));
            QVERIFY(t.createFile(side + std::string("retimed.txt"), "retimed"));
        }
        const struct utimbuf old {1000000000, 1000000000};
        QCOMPARE(::utime(t.path("src/retimed.txt").c_str(), &old), 0);
        const struct utimbuf same {1500000000, 1500000000};
        for (const char *side : {"src/same.txt", "dst/same.txt"})
            QCOMPARE(::utime(t.path(side).c_str(), &same), 0);
        QCOMPARE(::chmod(t.path("src/same.txt").c_str(), 0644), 0);
        QCOMPARE(::chmod(t.path("dst/same.txt").c_str(), 0644), 0);
        QVERIFY(t.createFile("dst/extra.txt", "left over"));

        MainFormFixture f;
        QAction *attributes = f.ui()->MenuCompareAttributes, *targetOnly = f.ui()->MenuTargetOnly;
        for (QAction *item : {attributes, targetOnly}) {
            QVERIFY(f.ui()->MenuSettings->actions().contains(item));
            QVERIFY(item->isCheckable());
            QVERIFY(!item->isChecked());
        }
        QCOMPARE(attributes->text(), QStringLiteral("Compare Attributes"));
        QCOMPARE(targetOnly->text(), QStringLiteral("List Target-Only Files"));

        const QString retimed = "Attributes Differ - " + Q(t.path("dst/retimed.txt")) + " (mtime)";
        const QString extra = "Target Only - " + Q(t.path("dst/extra.txt"));
        // Off: the copy of the two files is exact, as before.
        QVERIFY(f.StartRun(t.path("src"), t.path("dst")));
        QVERIFY(f.WaitForRunEnd());
        QVERIFY(!QvlTest::ShownLines(f.ui()->ListBoxV).contains(retimed));
        QVERIFY(!QvlTest::ShownLines(f.ui()->ListBoxV).contains(extra));
        QVERIFY2(VerdictText(f).startsWith(QStringLiteral("All 2 files are identical")), qPrintable(VerdictText(f)));
        QTest::mouseClick(f.ui()->ReturnBitBtn, Qt::LeftButton);

        attributes->setChecked(true);
        targetOnly->setChecked(true);
        QVERIFY(f.StartRun(t.path("src"), t.path("dst")));
        QVERIFY(f.WaitForRunEnd());
        QVERIFY(QvlTest::ShownLines(f.ui()->ListBoxV).contains(retimed));
        QVERIFY(QvlTest::ShownLines(f.ui()->ListBoxV).contains(extra));
        QCOMPARE(VerdictText(f),
                 QStringLiteral("Not an exact copy: attributes differ for 1 file, 1 file only in the Target"));
        QCOMPARE(Run(f).VerdictStrip()->property("verdict").toString(), QStringLiteral("damaged"));
        QPushButton *problems = Run(f).VerdictStrip()->findChild<QPushButton *>(QStringLiteral("ShowProblemsBtn"));
        QVERIFY(problems->isVisible());
        QTest::mouseClick(problems, Qt::LeftButton);
        const QStringList shown = QvlTest::ShownLines(f.ui()->ListBoxV);
        QVERIFY(shown.filter(QStringLiteral("Files Match - ")).isEmpty());
        QVERIFY(shown.contains(retimed));
        QVERIFY(shown.contains(extra));

        QStringList rows;
        for (const TReportRow &row : Run(f).ReportRows()) {
            if (row.result == TReportResult::AttributesDiffer || row.result == TReportResult::TargetOnly)
                rows << Q(row.target) + "|" + Q(row.note);
        }
        QCOMPARE(rows, (QStringList {Q(t.path("dst/retimed.txt")) + "|mtime", Q(t.path("dst/extra.txt")) + "|"}));
    }
};

QVL_TEST_MAIN(CompleteCopyWindowTest)
#include "CompleteCopyWindowTest.moc"
