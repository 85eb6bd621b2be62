#include "app/SaveDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

QString &LastFolder()
{
    static QString folder;
    return folder;
}

// The extension of a filter such as "CSV files (*.csv)", without the dot;
// empty for "All files (*)".
QString FilterExtension(const QString &filter)
{
    static const QRegularExpression pattern(QStringLiteral("\\(\\*\\.([^ )*?]+)"));
    const QRegularExpressionMatch match = pattern.match(filter);
    return match.hasMatch() ? match.captured(1) : QString();
}

} // namespace

QString ProposedSaveName(const QString &kind, const QString &targetPath, const QDate &date, const QString &extension)
{
    QString name = QFileInfo(QDir::cleanPath(targetPath)).fileName();
    static const QRegularExpression unsafe(QStringLiteral("[^\\w.+-]"), QRegularExpression::UseUnicodePropertiesOption);
    name.replace(unsafe, QStringLiteral("_"));
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QStringLiteral("target"));
    return QStringLiteral("quorvel-%1-%2-%3.%4")
        .arg(kind, name, date.toString(QStringLiteral("yyyy-MM-dd")), extension);
}

QString LastSaveFolder()
{
    return LastFolder().isEmpty() || !QFileInfo(LastFolder()).isDir() ? QDir::homePath() : LastFolder();
}

void SetLastSaveFolder(const QString &folder)
{
    LastFolder() = folder;
}

QString AskSaveFile(QWidget *parent, const QString &caption, const QString &filter, const QString &proposedName)
{
    // Qt's own dialog: the extension follows the filter and the overwrite
    // question covers the name with that extension, whatever the desktop's
    // native dialog would do.
    QFileDialog dialog(parent, caption, LastSaveFolder(), filter);
    dialog.setObjectName(QStringLiteral("SaveFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const auto follow = [&dialog](const QString &chosen) { dialog.setDefaultSuffix(FilterExtension(chosen)); };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, follow);
    follow(dialog.selectedNameFilter());
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString file = dialog.selectedFiles().constFirst();
    SetLastSaveFolder(QFileInfo(file).absolutePath());
    return file;
}
