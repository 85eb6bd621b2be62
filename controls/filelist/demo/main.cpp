// Shows a folder view with the file list of the chosen folder under it.
// Usage: filelist-demo [FOLDER | FILE]
#include "DirectoryListBox.h"
#include "FlCtrlEx.h"
#include "PathKind.h"
#include "Paths.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>
#include <QWidget>

namespace {

QString Decode(const std::string &bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("File list"));
    auto *layout = new QVBoxLayout(&window);
    auto *folders = new TDirectoryListBox(&window);
    auto *mask = new QLineEdit(QStringLiteral("*.*"), &window);
    auto *files = new TFileListBoxEx(&window);
    auto *status = new QLabel(&window);
    layout->addWidget(folders, 2);
    layout->addWidget(mask);
    layout->addWidget(files, 3);
    layout->addWidget(status);
    folders->SetFileList(files);
    files->SetFileType(files->FileType().With(ftHidden));

    const auto report = [&](const std::exception &e) {
        QMessageBox::warning(&window, QStringLiteral("File Error"), Decode(e.what()));
    };
    const auto showState = [&] {
        status->setText(QStringLiteral("%1 rows - %2")
                            .arg(files->Count())
                            .arg(files->FileName().empty() ? Decode(files->Directory()) : Decode(files->FileName())));
    };
    files->OnChange = [&](QObject *) { showState(); };
    QObject::connect(mask, &QLineEdit::textChanged, &window, [&](const QString &text) {
        try {
            files->SetMask(QFile::encodeName(text.simplified().remove(u' ')).toStdString());
        } catch (const std::exception &e) {
            report(e);
        }
    });

    window.resize(420, 640);
    window.show();
    // A folder is shown; a file is shown in its folder and selected.
    try {
        const std::string given = argc > 1 ? argv[1] : folders->Directory();
        if (GetPathKind(given) == pkFile)
            files->SetFileName(AbsolutePath(given));
        else
            folders->SetDirectory(given);
    } catch (const std::exception &e) {
        report(e);
    }
    showState();
    return app.exec();
}
