// The report of a run as CSV (RFC 4180, UTF-8): a header row, then one row
// per pair compared and one per file of a deletion. The window's "Save
// Report As..." and quorvel-verify --report both write it here.
#pragma once

#include "engine/VerifyTypes.h"

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
    // failed, with Error() saying why. A FIFO or a device is opened without
    // waiting for it: one that nobody reads is a failure here.
    bool Open(const std::string &path);
    // Adds a row. Rows are gathered and written a batch at a time; a failure
    // is remembered.
    void Write(const TReportRow &row);
    // Writes what is gathered now; false when anything since Open() failed.
    // For a report that must hold each row before the run goes on.
    bool Flush();
    // Writes out what is gathered and closes the file; false when anything
    // since Open() failed.
    bool Close();
    bool Failed() const { return !m_reason.empty(); }
    // "PATH: reason" of the first failure, the path as it was given (escape
    // it to show it).
    std::string Error() const { return m_reason.empty() ? std::string() : m_path + ": " + m_reason; }
    // The reason alone.
    const std::string &Reason() const { return m_reason; }

private:
    void Fail(int error);

    int m_fd = -1;
    std::string m_pending; // rows not written yet
    std::string m_path;
    std::string m_reason;
};
