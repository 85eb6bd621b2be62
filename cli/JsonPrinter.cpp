#include "cli/JsonPrinter.h"

#include "engine/EscapeControls.h"
#include "engine/VerifyReport.h"
#include "platform/Paths.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The run-log stamp "hh:mm:ss " every run-log line begins with.
constexpr std::size_t kStampSize = 9;

const char *KindName(TLogKind kind)
{
    switch (kind) {
    case TLogKind::PairResult: return "pair-result";
    case TLogKind::Event: return "event";
    case TLogKind::Summary: return "summary";
    case TLogKind::DeletionTotal: return "deletion-total";
    case TLogKind::Note: return "note";
    }
    return "event";
}

// Names are bytes; JSON strings are Unicode. A name that is valid UTF-8 is
// given exactly (JSON escapes its control characters). One that is not is
// given byte-escaped, so that it can be told back to its bytes: every
// backslash doubled, control characters as \n, \t, \r or \xHH, and every
// byte that is not UTF-8 as \xHH; "<key>_escaped": true says so.
void PutText(QJsonObject &object, const QString &key, const std::string &bytes)
{
    if (IsUtf8(bytes)) {
        object.insert(key, QString::fromStdString(bytes));
        return;
    }
    // The log's escaping already doubles every backslash.
    object.insert(key, QString::fromStdString(EscapeControls(bytes, true)));
    object.insert(key + QStringLiteral("_escaped"), true);
}

void PutSize(QJsonObject &object, std::int64_t size)
{
    object.insert(QStringLiteral("size"), size < 0 ? QJsonValue() : QJsonValue(qint64(size)));
}

bool IsDeletion(TReportResult result)
{
    return result == TReportResult::Deleted || result == TReportResult::NotDeleted;
}

} // namespace

TJsonPrinter::TJsonPrinter(const VerifyRequest &request, bool quiet, TPut put)
    : m_request(request), m_quiet(quiet), m_put(std::move(put))
{
}

std::string TJsonPrinter::RelativePath(const std::string &sourcePath) const
{
    if (m_request.singleFile) {
        const std::size_t slash = sourcePath.rfind('/');
        return slash == std::string::npos ? sourcePath : sourcePath.substr(slash + 1);
    }
    return RelativeTo(sourcePath, m_request.sourcePath);
}

void TJsonPrinter::LogLine(TLogKind kind, const std::string &line)
{
    // A pair's result comes as its row, with the fields the line is made of.
    if (kind == TLogKind::PairResult || (m_quiet && !KeptWhenQuiet(kind)))
        return;
    QJsonObject o;
    o.insert(QStringLiteral("type"), QStringLiteral("log"));
    o.insert(QStringLiteral("kind"), QString::fromLatin1(KindName(kind)));
    const bool stamped = line.size() >= kStampSize && line[kStampSize - 1] == ' ';
    o.insert(QStringLiteral("time"), QString::fromStdString(stamped ? line.substr(0, kStampSize - 1) : ""));
    PutText(o, QStringLiteral("text"), stamped ? line.substr(kStampSize) : line);
    m_put(QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString());
}

void TJsonPrinter::Row(const TReportRow &row)
{
    if (m_quiet)
        return;
    QJsonObject o;
    const bool deletion = IsDeletion(row.result);
    const bool targetOnly = row.result == TReportResult::TargetOnly;
    o.insert(QStringLiteral("type"), deletion                                        ? QStringLiteral("deletion")
                                     : targetOnly                                    ? QStringLiteral("target-only")
                                     : row.result == TReportResult::AttributesDiffer ? QStringLiteral("attributes")
                                                                                     : QStringLiteral("pair"));
    o.insert(QStringLiteral("result"), QString::fromLatin1(ReportResultName(row.result)));
    // A file only in the Target has no Source path to be relative to.
    PutText(o, QStringLiteral("path"),
            targetOnly ? RelativeTo(row.target, m_request.targetPath) : RelativePath(row.source));
    if (!targetOnly)
        PutText(o, QStringLiteral("source"), row.source);
    PutText(o, QStringLiteral("target"), row.target);
    PutSize(o, row.size);
    if (deletion)
        o.insert(QStringLiteral("side"),
                 m_request.deleteMode == DeleteMode::Target ? QStringLiteral("target") : QStringLiteral("source"));
    if (!row.note.empty())
        PutText(o, QStringLiteral("note"), row.note);
    m_put(QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString());
}

void TJsonPrinter::Finish(const TCliSummary &s)
{
    const VerifyCounters &c = s.counters;
    QJsonObject o;
    o.insert(QStringLiteral("type"), QStringLiteral("summary"));
    o.insert(QStringLiteral("folders"), c.folders);
    o.insert(QStringLiteral("files"), c.files);
    o.insert(QStringLiteral("bytes"), qint64(c.totalBytes));
    o.insert(QStringLiteral("checked"), c.filesChecked);
    o.insert(QStringLiteral("matching"), c.same);
    o.insert(QStringLiteral("missing"), c.missing);
    o.insert(QStringLiteral("different"), c.different);
    o.insert(QStringLiteral("unreadable"), c.unreadable);
    // Present only when the run looked for them, as their log lines are.
    if (m_request.compareAttributes)
        o.insert(QStringLiteral("attributes_differ"), c.attributesDiffer);
    if (m_request.listTargetOnly && !m_request.singleFile)
        o.insert(QStringLiteral("target_only"), c.targetOnly);
    // Present only when a deletion ran, as their log lines are.
    if (c.filesDeleted >= 0)
        o.insert(QStringLiteral("files_deleted"), c.filesDeleted);
    if (c.foldersDeleted >= 0)
        o.insert(QStringLiteral("folders_deleted"), c.foldersDeleted);
    // Present only when a resumed run took pairs over, as its line is.
    if (c.resumed > 0) {
        o.insert(QStringLiteral("resumed"), c.resumed);
        o.insert(QStringLiteral("resumed_bytes"), qint64(c.resumedBytes));
    }
    o.insert(QStringLiteral("stopped"), s.stopped);
    o.insert(QStringLiteral("troubles"), s.troubles);
    o.insert(QStringLiteral("exit_status"), s.exitStatus);
    m_put(QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString());
}
