// Shows the file list controls on real folders.
// Usage: filelist-demo [--gallery] [FOLDER | FILE]
//   first page: a folder view with the file list of the chosen folder under it;
//   "Gallery": every control of the family side by side, on the chosen
//   folder and the mounted volumes.
#include "controls/filelist/BoolList.h"
#include "controls/filelist/CheckListBoxEx.h"
#include "controls/filelist/DirectoryListBox.h"
#include "controls/filelist/DirectoryListBoxEx.h"
#include "controls/filelist/DriveComboBoxEx.h"
#include "controls/filelist/FlCtrlEx.h"
#include "platform/PathKind.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWidget>

namespace {

QString Decode(const std::string &bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

void Report(QWidget *window, const std::exception &e)
{
    QMessageBox::warning(window, QStringLiteral("File Error"), Decode(e.what()));
}

// The folder view and its file list, with a mask box between them.
QWidget *FileListPage(QWidget *window, const std::string &given)
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *folders = new TDirectoryListBox(page);
    auto *mask = new QLineEdit(QStringLiteral("*.*"), page);
    auto *files = new TFileListBoxEx(page);
    auto *status = new QLabel(page);
    layout->addWidget(folders, 2);
    layout->addWidget(mask);
    layout->addWidget(files, 3);
    layout->addWidget(status);
    folders->SetFileList(files);
    files->SetFileType(files->FileType().With(ftHidden));

    const auto showState = [files, status] {
        status->setText(QStringLiteral("%1 rows - %2")
                            .arg(files->Count())
                            .arg(files->FileName().empty() ? Decode(files->Directory()) : Decode(files->FileName())));
    };
    files->OnChange = [showState](QObject *) { showState(); };
    QObject::connect(mask, &QLineEdit::textChanged, page, [window, files](const QString &text) {
        try {
            files->SetMask(QFile::encodeName(text.simplified().remove(u' ')).toStdString());
        } catch (const std::exception &e) {
            Report(window, e);
        }
    });
    // A folder is shown; a file is shown in its folder and selected.
    try {
        if (GetPathKind(given) == pkFile)
            files->SetFileName(AbsolutePath(given));
        else
            folders->SetDirectory(given);
    } catch (const std::exception &e) {
        Report(window, e);
    }
    showState();
    return page;
}

QLabel *Caption(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

// The checked states of the check file list, mirrored into a TBoolList
// whose change events are shown as they come.
class TCheckMirror
{
public:
    TCheckMirror(TCheckFileListBoxEx *files, QLabel *label) : m_files(files), m_label(label)
    {
        m_checks.OnChange = [this](TBoolList *, int item) { m_lastEvent = QStringLiteral("OnChange(%1)").arg(item); };
    }
    // Called after the check of `row` changed, or after a re-read (row -1).
    void Update(int row)
    {
        if (row < 0) {
            m_checks.Clear();
            m_lastEvent = QStringLiteral("Clear");
        }
        while (m_checks.Count() < m_files->Count())
            m_checks.Add(false);
        if (row >= 0 && row < m_checks.Count())
            m_checks.SetBoolean(row, m_files->GetChecked(row));
        QStringList bits, names;
        for (int i = 0; i < m_checks.Count(); ++i) {
            bits << (m_checks.GetBoolean(i) ? QStringLiteral("1") : QStringLiteral("0"));
            if (m_checks.GetBoolean(i))
                names << Decode(m_files->Items(i));
        }
        m_label->setText(QStringLiteral("Entries: %1\nLast event: %2\nChecked: %3")
                             .arg(bits.join(u' '), m_lastEvent, names.isEmpty() ? QStringLiteral("none") : names.join(", ")));
    }

private:
    TCheckFileListBoxEx *m_files;
    QLabel *m_label;
    TBoolList m_checks;
    QString m_lastEvent = QStringLiteral("none");
};

QWidget *GalleryPage(QWidget *window, const std::string &given)
{
    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);

    // Left: a volume, its folders opened with one click, and their files.
    auto *drives = new TDriveComboBoxEx(page);
    auto *dirs = new TDirectoryListBoxEx(page);
    auto *files = new TFileListBoxEx(page);
    dirs->SetDirectOpen(true);
    drives->SetDirList(dirs);
    dirs->SetFileList(files);
    grid->addWidget(Caption(QStringLiteral("TDriveComboBoxEx"), page), 0, 0);
    grid->addWidget(drives, 1, 0);
    grid->addWidget(Caption(QStringLiteral("TDirectoryListBoxEx (DirectOpen)"), page), 2, 0);
    grid->addWidget(dirs, 3, 0);
    grid->addWidget(Caption(QStringLiteral("TFileListBoxEx"), page), 4, 0);
    grid->addWidget(files, 5, 0);

    // Middle: the same with check boxes.
    auto *checkDirs = new TCheckDirectoryListBoxEx(page);
    auto *checkFiles = new TCheckFileListBoxEx(page);
    checkDirs->SetFileList(checkFiles);
    grid->addWidget(Caption(QStringLiteral("TCheckDirectoryListBoxEx"), page), 2, 1);
    grid->addWidget(checkDirs, 3, 1);
    grid->addWidget(Caption(QStringLiteral("TCheckFileListBoxEx"), page), 4, 1);
    grid->addWidget(checkFiles, 5, 1);

    // Right: the check file list's checks, mirrored into a TBoolList.
    auto *mirrorLabel = new QLabel(page);
    mirrorLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    mirrorLabel->setWordWrap(true);
    grid->addWidget(Caption(QStringLiteral("TBoolList"), page), 2, 2);
    grid->addWidget(mirrorLabel, 3, 2, 3, 1);
    auto *mirror = new TCheckMirror(checkFiles, mirrorLabel);
    QObject::connect(page, &QObject::destroyed, [mirror] { delete mirror; });
    checkFiles->OnClickCheck = [mirror](QObject *, int row) { mirror->Update(row); };
    checkFiles->OnChange = [mirror](QObject *) { mirror->Update(-1); };

    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(2, 2);
    grid->setRowStretch(3, 1);
    grid->setRowStretch(5, 1);

    const std::string folder = GetPathKind(given) == pkFile ? ParentFolder(AbsolutePath(given)) : given;
    try {
        dirs->SetDirectory(folder);
        checkDirs->SetDirectory(folder);
        // The volume box, built when shown, chooses the volume of the
        // folder just made current.
    } catch (const std::exception &e) {
        Report(window, e);
    }
    return page;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    bool gallery = false;
    std::string given;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--gallery")
            gallery = true;
        else
            given = argv[i];
    }
    QWidget window;
    window.setWindowTitle(QStringLiteral("File list"));
    auto *tabs = new QTabWidget(&window);
    (new QVBoxLayout(&window))->addWidget(tabs);
    if (given.empty())
        given = TDirectoryListBox().Directory();
    tabs->addTab(FileListPage(&window, given), QStringLiteral("File list"));
    tabs->addTab(GalleryPage(&window, given), QStringLiteral("Gallery"));
    if (gallery) {
        tabs->setCurrentIndex(1);
        window.resize(1000, 700);
    } else {
        window.resize(420, 640);
    }
    window.show();
    return app.exec();
}
