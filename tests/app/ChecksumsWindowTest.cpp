// Checksums through the real main window, offscreen: "Record Checksums" in
// Settings writes the proof into the program's data folder and the run log
// names it, "Save Checksums As..." copies it, and "Check Against
// Checksums..." checks the Target folder against it with the verify's
// display, log, problems-only view and summary.
#include "tests/app/MainFormFixture.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include "app/QvlMainRun.h"

#include <QAction>
#include <QDate>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProcess>

using QvlTest::MainFormFixture;

namespace {

TRunControl &Run(MainFormFixture &f)
{
    return *f.form->RunControl;
}

QStringList Lines(const QAbstractItemView *list)
{
    return QvlTest::ShownLines(list);
}

// The run-log lines without their "hh:mm:ss " stamps.
QStringList Unstamped(const QStringList &lines)
{
    QStringList out;
    for (const QString &l : lines)
        out << (l.size() > 9 && l[2] == ':' && l[5] == ':' ? l.mid(9) : l);
    return out;
}

QString Q(const std::string &s)
{
    return MainFormFixture::Q(s);
}

// The Target tree of the photos: three files and one in a folder.
bool MakePhotos(const QvlTest::TempTree &t)
{
    for (const char *side : {"card/", "Photos/"}) {
        for (const char *name : {"IMG_1.jpg", "IMG 2.jpg", "raw/IMG_3.cr2"}) {
            if (!t.createFile(side + std::string(name), QByteArray(name).repeated(5000)))
                return false;
        }
    }
    return true;
}

} // namespace

class ChecksumsWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    // Recorded into the data folder under the Target's name and the date,
    // named in the run log, checked by sha256sum in the Target; the Target
    // gets no file. Off, no file is made and there is nothing to save.
    void recordChecksumsInSettings()
    {
        QvlTest::TempTree t;
        QVERIFY(MakePhotos(t));
        MainFormFixture f;
        QAction *record = f.ui()->MenuRecordChecksums;
        QVERIFY(f.ui()->MenuSettings->actions().contains(record));
        QCOMPARE(record->text(), QStringLiteral("Record Checksums"));
        QVERIFY(record->isCheckable());
        QVERIFY(!record->isChecked());
        QAction *save = Run(f).SaveChecksumsAction();
        QVERIFY(Run(f).LogMenu()->actions().contains(save));
        QCOMPARE(save->text().remove('&'), QStringLiteral("Save Checksums As..."));
        const QString folder = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + "/quorvel/checksums";

        QVERIFY(f.StartRun(t.path("card"), t.path("Photos")));
        QVERIFY(f.WaitForRunEnd());
        QVERIFY(!save->isEnabled());
        QVERIFY(!QDir(folder).exists());
        QTest::mouseClick(f.ui()->ReturnBitBtn, Qt::LeftButton);

        record->setChecked(true);
        QVERIFY(f.StartRun(t.path("card"), t.path("Photos")));
        QVERIFY(f.WaitForRunEnd());
        const QString file = folder + "/Photos-" + QDate::currentDate().toString(Qt::ISODate) + ".sha256";
        QVERIFY(QFile::exists(file));
        QCOMPARE(Run(f).ChecksumsWritten(), file);
        QVERIFY(Unstamped(Lines(f.ui()->ListBoxV)).contains("Checksums of 3 matching files saved - " + file));
        QVERIFY(Unstamped(Lines(f.ui()->ListLog)).contains("Checksums of 3 matching files saved - " + file));
        QCOMPARE(QDir(Q(t.path("Photos"))).entryList(QDir::Files | QDir::NoDotAndDotDot).size(), qsizetype(2));
        QProcess sha;
        sha.setWorkingDirectory(Q(t.path("Photos")));
        sha.start("sha256sum", {"-c", "--strict", file});
        QVERIFY(sha.waitForFinished(30000));
        QCOMPARE(sha.exitCode(), 0);
        QCOMPARE(sha.readAllStandardOutput().count(": OK\n"), qsizetype(3));

        // Saved where the user says, the same bytes.
        QVERIFY(save->isEnabled());
        const QString copy = Q(t.path("beside the backup.sha256"));
        Run(f).Environment().AskSaveFileName = [&](QWidget *, const QString &caption, const QString &, const QString &) {
            return caption == "Save Checksums As" ? copy : QString();
        };
        save->trigger();
        QFile a(file), b(copy);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(b.readAll(), a.readAll());

        // A second run the same day does not overwrite the first proof.
        QTest::mouseClick(f.ui()->ReturnBitBtn, Qt::LeftButton);
        QVERIFY(f.StartRun(t.path("card"), t.path("Photos")));
        QVERIFY(f.WaitForRunEnd());
        QCOMPARE(Run(f).ChecksumsWritten(),
                 folder + "/Photos-" + QDate::currentDate().toString(Qt::ISODate) + "-2.sha256");
    }

    // The check of a damaged backup: the file dialog gives the checksum
    // file, the Target box the folder; the run shows its counts, the
    // problems-only view keeps the damaged file, the summary counts it.
    void checkAgainstChecksumsFindsTheDamagedFile()
    {
        QvlTest::TempTree t;
        QVERIFY(MakePhotos(t));
        MainFormFixture f;
        f.ui()->MenuRecordChecksums->setChecked(true);
        QVERIFY(f.StartRun(t.path("card"), t.path("Photos")));
        QVERIFY(f.WaitForRunEnd());
        const QString sums = Run(f).ChecksumsWritten();
        QVERIFY(!sums.isEmpty());
        QTest::mouseClick(f.ui()->ReturnBitBtn, Qt::LeftButton);
        f.ui()->MenuRecordChecksums->setChecked(false);

        // Years later the card is gone and one photo has rotted.
        QVERIFY(t.createFile("Photos/IMG 2.jpg", QByteArray("IMG 2.jpX").repeated(5000)));
        f.ui()->EditSource->clear();
        f.ui()->EditTarget->setText(Q(t.path("Photos")));
        QString asked;
        Run(f).Environment().AskOpenFileName = [&](QWidget *, const QString &caption, const QString &) {
            asked = caption;
            return sums;
        };
        f.boxes.clear();
        QVERIFY(f.ui()->MenuFile->actions().contains(f.ui()->FileCheckChecksumsItem));
        QCOMPARE(f.ui()->FileCheckChecksumsItem->text(), QStringLiteral("Check Against Checksums..."));
        f.ui()->FileCheckChecksumsItem->trigger();
        QCOMPARE(asked, QStringLiteral("Check Against Checksums"));
        QVERIFY(f.WaitForRunEnd());
        QVERIFY(f.ui()->PanelVerify->isVisible());
        const QStringList log = Unstamped(Lines(f.ui()->ListBoxV));
        QVERIFY(log.contains("Begin check - Checksums: \"" + sums + "\" - Target: \"" + Q(t.path("Photos")) + "\""));
        QVERIFY(log.contains("Files Differ - " + Q(t.path("Photos/IMG 2.jpg"))));
        QCOMPARE(log.filter(QRegularExpression("^Files Match - ")).size(), qsizetype(2));
        QVERIFY(log.contains("Total number of files checked = 3"));
        QVERIFY(log.contains("Total number of different files = 1"));
        QCOMPARE(f.ui()->Different->text(), QStringLiteral("1"));
        QCOMPARE(f.ui()->Same->text(), QStringLiteral("2"));
        QVERIFY(!f.boxes.empty());
        QCOMPARE(f.boxes.back().text, QStringLiteral("Operation Completed!   "));
        // The check recorded nothing of its own.
        QVERIFY(!Run(f).SaveChecksumsAction()->isEnabled());

        Run(f).ProblemsOnlyAction()->setChecked(true);
        const QStringList problems = Unstamped(Lines(f.ui()->ListBoxV));
        QVERIFY(problems.contains("Files Differ - " + Q(t.path("Photos/IMG 2.jpg"))));
        QVERIFY(problems.filter(QRegularExpression("^Files Match - ")).isEmpty());
    }

    // With no folder in the Target box there is nothing to check: the user
    // is told so, and no file dialog opens.
    void checkNeedsATargetFolder()
    {
        MainFormFixture f;
        f.ui()->EditTarget->clear();
        bool asked = false;
        Run(f).Environment().AskOpenFileName = [&](QWidget *, const QString &, const QString &) {
            asked = true;
            return QString();
        };
        f.ui()->FileCheckChecksumsItem->trigger();
        QVERIFY(!asked);
        QCOMPARE(f.boxes.size(), std::size_t(1));
        QVERIFY(f.boxes[0].text.contains("Target box"));
        QVERIFY(!Run(f).Running());
    }
};

QVL_TEST_MAIN(ChecksumsWindowTest)
#include "ChecksumsWindowTest.moc"
