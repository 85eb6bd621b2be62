// The window's save dialog, the real one, driven as a user drives it: the
// proposed name, the folder it starts in, the extension of the chosen filter
// and the question before a file is replaced.
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include "app/SaveDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace {

// What the dialog showed when it came up.
struct SeenDialog {
    QString folder;
    QString name;
    bool asked = false; // an overwrite question came up
};

// Answers the save dialog once it is up: reads it, types `typed` in its name
// box (after choosing filter `filterIndex`) and presses Enter; a question
// about replacing a file gets `replace`; with `thenCancel` the dialog is
// cancelled once the question has been answered.
class DialogDriver
{
public:
    QString typed;
    int filterIndex = 0;
    bool replace = false;
    bool thenCancel = false;
    SeenDialog seen;

    DialogDriver()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start(10);
    }

private:
    void Poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            seen.asked = true;
            box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
            return;
        }
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return;
        if (m_typed) {
            if (thenCancel && seen.asked)
                dialog->reject();
            return;
        }
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        seen.folder = dialog->directory().absolutePath();
        seen.name = name->text();
        if (auto *filters = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
            filters && filterIndex > 0) {
            filters->setCurrentIndex(filterIndex);
            emit filters->activated(filterIndex);
            emit filters->textActivated(filters->currentText());
        }
        name->setText(typed);
        m_typed = true;
        // Pressed from a turn of its own: a question it raises must find
        // this driver free to answer it.
        QTimer::singleShot(0, name, [name] { QTest::keyClick(name, Qt::Key_Return); });
    }

    bool m_typed = false;
    QTimer m_timer;
};

const QString kFilter = QStringLiteral("CSV files (*.csv);;All files (*)");

} // namespace

class SaveDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void proposedNames_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("name");
        QTest::newRow("folder") << "/media/stick/Photos 2024/" << "quorvel-report-Photos_2024-2026-03-07.csv";
        QTest::newRow("file") << "/backup/disk.img" << "quorvel-report-disk.img-2026-03-07.csv";
        QTest::newRow("root") << "/" << "quorvel-report-target-2026-03-07.csv";
        QTest::newRow("control character") << "/x/a\nb" << "quorvel-report-a_b-2026-03-07.csv";
    }

    void proposedNames()
    {
        QFETCH(QString, target);
        QTEST(ProposedSaveName(QStringLiteral("report"), target, QDate(2026, 3, 7), QStringLiteral("csv")), "name");
    }

    // The first dialog starts in the home folder with the proposed name; a
    // name typed without an extension gets the filter's; the next dialog
    // starts where that file went; an existing file is replaced only after
    // "yes"; "All files" adds nothing.
    void aDialogAsAUserMeetsIt()
    {
        QvlTest::TempTree tree;
        QVERIFY(tree.createDir("reports"));
        SetLastSaveFolder(QString());
        const QString folder = QFile::decodeName(QByteArray::fromStdString(tree.path("reports")));
        {
            DialogDriver driver;
            driver.typed = folder + "/report1";
            QCOMPARE(AskSaveFile(nullptr, "Save Report As", kFilter, "quorvel-report-dst-2026-03-07.csv"),
                     folder + "/report1.csv");
            QCOMPARE(driver.seen.folder, QDir::homePath());
            QCOMPARE(driver.seen.name, QStringLiteral("quorvel-report-dst-2026-03-07.csv"));
            QVERIFY(!driver.seen.asked);
        }
        QVERIFY(tree.createFile("reports/report1.csv", "old"));
        {
            // Refused: the dialog stays, the user cancels it.
            DialogDriver driver;
            driver.typed = QStringLiteral("report1");
            driver.thenCancel = true;
            QCOMPARE(AskSaveFile(nullptr, "Save Report As", kFilter, "quorvel-report-dst-2026-03-07.csv"), QString());
            QCOMPARE(driver.seen.folder, folder);
            QVERIFY(driver.seen.asked);
        }
        {
            DialogDriver driver;
            driver.typed = QStringLiteral("report1");
            driver.replace = true;
            QCOMPARE(AskSaveFile(nullptr, "Save Report As", kFilter, "quorvel-report-dst-2026-03-07.csv"),
                     folder + "/report1.csv");
            QVERIFY(driver.seen.asked);
        }
        {
            DialogDriver driver;
            driver.typed = QStringLiteral("notes");
            driver.filterIndex = 1; // All files (*)
            QCOMPARE(AskSaveFile(nullptr, "Save Report As", kFilter, "quorvel-report-dst-2026-03-07.csv"),
                     folder + "/notes");
        }
    }
};

QVL_TEST_MAIN(SaveDialogTest)
#include "SaveDialogTest.moc"
