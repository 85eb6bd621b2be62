#include "engine/VerifyReport.h"

#include "engine/EscapeControls.h"
#include "platform/FileReader.h"

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
    if (m_file)
        std::fclose(m_file);
}

void TReportWriter::Fail(int error)
{
    if (m_reason.empty())
        m_reason = ErrorText(error ? error : EIO);
}

bool TReportWriter::Open(const std::string &path)
{
    m_shownPath = EscapeControls(path);
    m_reason.clear();
    m_file = std::fopen(path.c_str(), "wbe");
    if (!m_file) {
        Fail(errno);
        return false;
    }
    const std::string header = ReportHeader();
    if (std::fwrite(header.data(), 1, header.size(), m_file) != header.size())
        Fail(errno);
    return m_reason.empty();
}

void TReportWriter::Write(const TReportRow &row)
{
    if (!m_file)
        return;
    const std::string record = ReportRecord(row);
    if (std::fwrite(record.data(), 1, record.size(), m_file) != record.size())
        Fail(errno);
}

bool TReportWriter::Close()
{
    if (m_file) {
        if (std::fflush(m_file) != 0)
            Fail(errno);
        if (std::fclose(m_file) != 0)
            Fail(errno);
        m_file = nullptr;
    }
    return m_reason.empty();
}
