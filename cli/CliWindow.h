// The verify worker's window, as a terminal: log lines to stdout, message
// boxes and the progress line to stderr, questions asked on the terminal.
#pragma once

#include "cli/CliOptions.h"
#include "cli/CliPrinter.h"
#include "cli/CliProgress.h"
#include "engine/VerifyReport.h"
#include "engine/VerifyWindow.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TCliWindow : public IVerifyWindow
{
public:
    // Log lines go to `outFd`, messages and the progress line to `errFd`.
    // Questions are asked and answered on `ttyFd`, the user's terminal; with
    // none (-1) every question is answered no, unless --yes.
    TCliWindow(const CliOptions &options, int outFd, int errFd, int ttyFd);

    // Called when a log line cannot be written: the run must stop, as it
    // does for Ctrl+C.
    void SetStopRun(std::function<void()> stopRun) { m_stopRun = std::move(stopRun); }

    VerifyRequest CaptureRequest() override;
    void AppendRunLog(TLogKind kind, const std::string &line) override;
    void AppendResultLine(TReportResult result, const std::string &line) override;
    void ShowTotals(std::int32_t folders, std::int32_t files, double totalBytes) override;
    void ShowCounts(std::int32_t, std::int32_t, std::int32_t, std::int32_t filesChecked, std::int32_t files) override;
    void ShowCurrentPair(const std::string &source, const std::string &) override;
    void StartFileBar(std::int32_t) override {}
    void UpdateFileBar(std::int32_t) override {}
    void StartOverallBar(std::int32_t, double totalBytes) override;
    void UpdateOverallBar(std::int32_t, double overallBytesDone) override;
    void StopProgressTimer() override;
    bool ConfirmDelete(std::size_t count, DeleteMode side) override;
    bool DeleteOnCancelChecked() override { return false; }
    void ShowMessage(const std::string &caption, const std::string &text, TMessageIcon icon) override;
    bool AskPermanentDelete(std::size_t count) override;
    bool AskStackedDelete(const std::string &question) override;
    void ReportRow(const TReportRow &row) override;

    // Where the report rows go, as the run makes them; none by default. A
    // row that cannot be written stops the run.
    void SetReport(TReportWriter *report) { m_report = report; }

    // After the run: closes the report, notes what the user should know and
    // returns the exit status (see CliExitStatus; 2 when the log or the
    // report could not be written).
    int FinishRun(bool stopped, int troubles, const VerifyCounters &counters);

    // Result lines held for standard output that is not a terminal are
    // written once the first of them is kHoldFor old, looked at here (and
    // whenever the run tells of its progress).
    void WriteHeldOlderThan(TCliProgress::TClock::time_point now);
    // Writes what is held for standard output now (a failure stops the
    // run, as any failed write of the log does).
    void WriteHeld();
    static constexpr std::chrono::milliseconds kHoldFor {100};
    static constexpr std::size_t kHoldBytes = 64 * 1024;

private:
    bool Ask(const std::string &question);
    void PutOut(const std::string &line);
    // The printer's lines of a comparison's result, which may wait in
    // m_held (see PutOut).
    template <typename Print>
    void PrintResult(Print print);
    // A line of the program's own on standard error, escaped here; a line
    // whose names are escaped already.
    void PutErr(const std::string &line);
    void PutShownErr(const std::string &shown);

    CliOptions m_options;
    int m_outFd;
    int m_errFd;
    int m_ttyFd;
    TCliProgress m_progress;
    std::function<void()> m_stopRun;
    TReportWriter *m_report = nullptr;
    std::unique_ptr<ICliPrinter> m_printer;
    bool m_outFailed = false;
    // Standard output that is not a terminal (a file, a pipe) gets the
    // lines of the comparison's results a buffer at a time, not one write
    // each; any other line writes what is held before it, so nothing
    // precedes it out of order and every deletion's line is out before the
    // next deletion.
    const bool m_holdResults;
    bool m_printingResult = false;
    std::string m_held;
    TCliProgress::TClock::time_point m_heldSince;
    bool m_reportFailed = false;
    bool m_gathered = false; // the walk ended and the comparison was done
    double m_runTotalBytes = 0;
};

// The exit status of a finished run, like diff's: 0 when everything gathered
// was verified and matched, 1 when some files differ or are missing, 2 when
// the run was stopped or met trouble.
int CliExitStatus(bool stopped, int troubles, const VerifyCounters &counters);
