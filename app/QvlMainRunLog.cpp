// TRunControl: what the user can do with the verify log, during a run and
// after it: copy lines, see only the problems, save the log, save the
// run's report or its checksums; and the "File Error" box, which may be silenced for a run.
#include "app/QvlMainRun.h"

#include "app/PathText.h"
#include "app/QvlMain.h"
#include "app/RunLogModel.h"
#include "app/SaveDialog.h"

#include "engine/VerifyReport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>

#include <algorithm>
#include <utility>
#include <vector>

void TRunControl::SetUpLogMenu()
{
    QListView *list = ui.ListBoxV;
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->installEventFilter(this);

    m_logMenu = new QMenu(list);
    QAction *copy = m_logMenu->addAction(QStringLiteral("&Copy"), this, &TRunControl::CopyLogSelection);
    copy->setShortcut(QKeySequence::Copy);
    QAction *all = m_logMenu->addAction(QStringLiteral("Select &All"), list, &QListView::selectAll);
    all->setShortcut(QKeySequence::SelectAll);
    m_logMenu->addSeparator();
    m_problemsOnly = m_logMenu->addAction(QStringLiteral("Show &Problems Only"));
    m_problemsOnly->setCheckable(true);
    m_problemsOnly->setStatusTip(QStringLiteral("Hide the \"Files Match\" lines of the log"));
    connect(m_problemsOnly, &QAction::toggled, this, &TRunControl::ShowProblemsOnly);
    m_logMenu->addSeparator();
    QAction *saveLog = m_logMenu->addAction(QStringLiteral("Save &Log As..."), this, &TRunControl::SaveLogAs);
    saveLog->setShortcut(QKeySequence::Save);
    m_saveReport = m_logMenu->addAction(QStringLiteral("Save &Report As..."), this, &TRunControl::SaveReportAs);
    m_saveReport->setStatusTip(QStringLiteral("Save one line per file of the last run as CSV"));
    m_saveReport->setEnabled(false);
    m_saveChecksums =
        m_logMenu->addAction(QStringLiteral("Save &Checksums As..."), this, &TRunControl::SaveChecksumsAs);
    m_saveChecksums->setStatusTip(
        QStringLiteral("Save a copy of the checksum file the last run recorded (Settings, Record Checksums)"));
    m_saveChecksums->setEnabled(false);

    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint &at) {
        m_logMenu->popup(list->viewport()->mapToGlobal(at));
    });
}

bool TRunControl::LogKeyPress(QKeyEvent *key)
{
    // The menu's shortcuts, while the log has the focus.
    if (key->matches(QKeySequence::Copy))
        CopyLogSelection();
    else if (key->matches(QKeySequence::SelectAll))
        ui.ListBoxV->selectAll();
    else if (key->matches(QKeySequence::Save))
        SaveLogAs();
    else
        return false;
    return true;
}

void TRunControl::CopyLogSelection()
{
    // By the selection's ranges, in order: a million lines selected are
    // copied without a list of a million indexes.
    std::vector<std::pair<int, int>> ranges;
    for (const QItemSelectionRange &range : ui.ListBoxV->selectionModel()->selection())
        ranges.emplace_back(range.top(), range.bottom());
    std::sort(ranges.begin(), ranges.end());
    std::string text, line;
    int next = 0; // the first row not copied yet
    for (const auto &[top, bottom] : ranges) {
        for (int row = std::max(top, next); row <= bottom; ++row) {
            m_log->ReadLine(m_log->LineOfRow(row), line);
            text += line;
            text += '\n';
        }
        next = std::max(next, bottom + 1);
    }
    if (!text.empty())
        QApplication::clipboard()->setText(QString::fromStdString(text));
}

QStringList TRunControl::VerifyLog() const
{
    return m_log->Lines();
}

void TRunControl::ShowProblemsOnly(bool on)
{
    QListView *list = ui.ListBoxV;
    // The log line at the top, as an index into the whole log.
    const int topRow = list->indexAt(QPoint(0, 0)).row();
    const int top = topRow >= 0 ? m_log->LineOfRow(topRow) : -1;

    m_log->SetProblemsOnly(on);
    const int rows = m_log->rowCount();

    if (m_listBoxVTag == 0 || top < 0) {
        list->scrollToBottom();
        return;
    }
    // The same line at the top; when it is a match that is hidden now, the
    // next line shown (or the last one).
    const int row = std::min(m_log->RowOfLine(top), rows - 1);
    if (row >= 0)
        list->scrollTo(m_log->index(row), QAbstractItemView::PositionAtTop);
}

QString TRunControl::WriteLog(const QString &file) const
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return out.errorString();
    if (!m_log->Write(out))
        return out.errorString();
    return out.commit() ? QString() : out.errorString();
}

void TRunControl::SaveLogAs()
{
    SaveAs(QStringLiteral("Save Log As"), QStringLiteral("Text files (*.txt);;All files (*)"),
           QStringLiteral("log"), QStringLiteral("txt"), [this](const QString &file) { return WriteLog(file); });
}

void TRunControl::SaveChecksumsAs()
{
    if (m_checksumsWritten.isEmpty())
        return;
    SaveAs(QStringLiteral("Save Checksums As"), QStringLiteral("Checksum files (*.sha256);;All files (*)"),
           QStringLiteral("checksums"), QStringLiteral("sha256"), [this](const QString &file) {
               QFile in(m_checksumsWritten);
               if (!in.open(QIODevice::ReadOnly))
                   return in.errorString();
               // Under a temporary name until it is whole, as it was made.
               QSaveFile out(file);
               if (!out.open(QIODevice::WriteOnly))
                   return out.errorString();
               const QByteArray data = in.readAll();
               if (out.write(data) != data.size())
                   return out.errorString();
               return out.commit() ? QString() : out.errorString();
           });
}

void TRunControl::SaveAs(const QString &caption, const QString &filter, const QString &what,
                         const QString &extension, const std::function<QString(const QString &file)> &write)
{
    const QString file = m_env.AskSaveFileName(
        &m_form, caption, filter, ProposedSaveName(what, FromPath(m_runTarget), QDate::currentDate(), extension));
    if (file.isEmpty())
        return;
    const QString error = write(file);
    if (!error.isEmpty())
        m_form.ShowMessageBox(caption, QStringLiteral("The %1 could not be saved.\n\n%2 (%3)").arg(what, file, error),
                              QMessageBox::Critical, QMessageBox::Ok);
}

QString TRunControl::WriteReport(const QString &file) const
{
    TReportWriter writer;
    if (writer.Open(ToPath(file)))
        m_reportRows.ForEach([&](const TReportRow &row) { writer.Write(row); });
    if (writer.Close())
        return {};
    return FromText(writer.Reason());
}

void TRunControl::SaveReportAs()
{
    SaveAs(QStringLiteral("Save Report As"), QStringLiteral("CSV files (*.csv);;All files (*)"),
           QStringLiteral("report"), QStringLiteral("csv"), [this](const QString &file) { return WriteReport(file); });
}

void TRunControl::ShowFileError(const QString &text)
{
    // The log names every file that could not be read; the box may stop
    // interrupting a run over a failing disk.
    if (m_fileErrorsQuiet)
        return;
    QMessageBox box(QMessageBox::Critical, QStringLiteral("File Error"), text, QMessageBox::Ok, &m_form);
    box.setObjectName(QStringLiteral("FileErrorBox"));
    box.setCheckBox(new QCheckBox(QStringLiteral("Do not show this again during this run"), &box));
    box.exec();
    m_fileErrorsQuiet = box.checkBox()->isChecked();
}
