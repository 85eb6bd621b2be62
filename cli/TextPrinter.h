// quorvel-verify's standard output without --json: the window's verify log,
// line by line; with --quiet only the summary lines and the deletion totals.
#pragma once

#include "cli/CliPrinter.h"

class TTextPrinter : public ICliPrinter
{
public:
    TTextPrinter(bool quiet, TPut put) : m_quiet(quiet), m_put(std::move(put)) {}

    void LogLine(TLogKind kind, const std::string &line) override;
    void Row(const TReportRow &) override {}
    void Finish(const TCliSummary &) override {}

private:
    bool m_quiet;
    TPut m_put;
};
