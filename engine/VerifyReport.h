// The report of a run as CSV (RFC 4180, UTF-8): a header row, then one row
// per pair compared and one per file of a deletion. The window's "Save
// Report As..." and quorvel-verify --report both write it here.
#pragma once

#include "engine/VerifyTypes.h"

#include <cstdio>
#include <string>

// The name a result has in the report ("match", "not-deleted", ...).
const char *ReportResultName(TReportResult result);

// The header record, ending in CRLF.
std::string ReportHeader();
// One record, ending in CRLF: fields quoted where they hold a comma, a quote
// or a line break; names escaped as the log shows them, and bytes that are
// not UTF-8 as "\xHH", so the file is always valid UTF-8.
std::string ReportRecord(const TReportRow &row);

class TReportWriter
{
public:
    TReportWriter() = default;
    ~TReportWriter();
    TReportWriter(const TReportWriter &) = delete;
    TReportWriter &operator=(const TReportWriter &) = delete;

    // Creates (or empties) the file and writes the header; false when that
    // failed, with Error() saying why.
    bool Open(const std::string &path);
    // Adds a row; a failure is remembered for Close().
    void Write(const TReportRow &row);
    // Writes out what is buffered and closes the file; false when anything
    // since Open() failed.
    bool Close();
    // "PATH: reason" of the first failure.
    std::string Error() const { return m_reason.empty() ? std::string() : m_shownPath + ": " + m_reason; }
    // The reason alone.
    const std::string &Reason() const { return m_reason; }

private:
    void Fail(int error);

    std::FILE *m_file = nullptr;
    std::string m_shownPath;
    std::string m_reason;
};
