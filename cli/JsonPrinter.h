// quorvel-verify --json: JSON Lines on standard output, one object per
// event, for scripts and monitoring. The objects and their fields are
// described in --help and the manual page.
#pragma once

#include "cli/CliPrinter.h"

class TJsonPrinter : public ICliPrinter
{
public:
    // `request` gives the roots the pairs' relative paths are taken from.
    TJsonPrinter(const VerifyRequest &request, bool quiet, TPut put);

    void LogLine(TLogKind kind, const std::string &line) override;
    void Row(const TReportRow &row) override;
    void Finish(const TCliSummary &summary) override;

private:
    std::string RelativePath(const std::string &sourcePath) const;

    VerifyRequest m_request;
    bool m_quiet;
    TPut m_put;
};

