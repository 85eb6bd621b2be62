#include "engine/VerifyReport.h"

#include "engine/EscapeControls.h"
#include "platform/FileReader.h"
#include "platform/OutputFile.h"
#include "platform/TerminalIo.h"

#include <cerrno>

const char *ReportResultName(TReportResult result)
{
    switch (result) {
    case TReportResult::Match:
        return "match";
    case TReportResult::Differ:
        return "differ";
    case TReportResult::LengthsDiffer:
        return "lengths-differ";
    case TReportResult::SourceMissing:
        return "source-missing";
    case TReportResult::TargetMissing:
        return "target-missing";
    case TReportResult::Unreadable:
        return "unreadable";
    case TReportResult::Deleted:
        return "deleted";
    case TReportResult::NotDeleted:
        return "not-deleted";
    case TReportResult::Skipped:
        return "skipped";
    case TReportResult::AttributesDiffer:
        return "attributes-differ";
    case TReportResult::TargetOnly:
        return "target-only";
    }
    return "";
}

namespace {

void PutField(std::string &out, const std::string &raw)
{
    const std::string text = EscapeControls(raw, true);
    // Escaped, a field holds no line break any more; quotes and commas
    // still need the quotes.
    if (text.find_first_of(",\"") == std::string::npos) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

std::string ReportHeader()
{
    return "result,source,target,size,note\r\n";
}

std::string ReportRecord(const TReportRow &row)
{
    std::string out = ReportResultName(row.result);
    out += ',';
    PutField(out, row.source);
    out += ',';
    PutField(out, row.target);
    out += ',';
    if (row.size >= 0)
        out += std::to_string(row.size);
    out += ',';
    PutField(out, row.note);
    out += "\r\n";
    return out;
}

TReportWriter::~TReportWriter()
{
    Close();
}

namespace {

// Rows gathered before they are written: few system calls for a report of
// many thousand rows.
constexpr std::size_t kWriteBatch = 64 * 1024;

} // namespace

void TReportWriter::Fail(int error)
{
    if (m_reason.empty())
        m_reason = ErrorText(error ? error : EIO);
}

bool TReportWriter::Open(const std::string &path)
{
    Close();
    m_path = path;
    m_reason.clear();
    m_pending.clear();
    const TOutputFile file = OpenOutputFile(path);
    if (file.fd < 0) {
        m_reason = file.reason;
        return false;
    }
    m_fd = file.fd;
    m_pending = ReportHeader();
    return Flush();
}

void TReportWriter::Write(const TReportRow &row)
{
    if (m_fd < 0 || Failed())
        return;
    m_pending += ReportRecord(row);
    if (m_pending.size() >= kWriteBatch)
        Flush();
}

bool TReportWriter::Flush()
{
    if (m_fd >= 0 && !Failed() && !m_pending.empty()) {
        int error = 0;
        if (!WriteAll(m_fd, m_pending, error))
            Fail(error);
    }
    m_pending.clear();
    return !Failed();
}

bool TReportWriter::Close()
{
    if (m_fd >= 0) {
        Flush();
        if (const int error = CloseOutputFile(m_fd))
            Fail(error);
        m_fd = -1;
    }
    return !Failed();
}
