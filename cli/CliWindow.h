// The verify worker's window, as a terminal: log lines to stdout, message
// boxes and the progress line to stderr, questions asked on the terminal.
#pragma once

#include "cli/CliPrinter.h"
#include "cli/CliProgress.h"
#include "engine/VerifyReport.h"
#include "engine/VerifyWindow.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

enum class TCliAction { Run, Help, Version };
enum class TProgressMode { Auto, On, Off };

struct CliOptions {
    VerifyRequest request;
    TCliAction action = TCliAction::Run;
    bool yes = false;   // answer every question with yes
    bool quiet = false; // only the summary lines and the deletion totals
    bool json = false;  // JSON Lines on standard output instead of the log
    TProgressMode progress = TProgressMode::Auto; // Auto: when stderr is a terminal
    std::string reportPath; // --report: the CSV report's file, or none
};

// Parses the arguments (not the program name). Returns false with a message
// in `error` when they are not usable. Looks at no file.
bool ParseCliArguments(int argc, const char *const argv[], CliOptions &options, std::string &error);

// What the window's Start demands of the paths: the SOURCE exists, and the
// two are both folders or both files. Sets the request's `singleFile`; false
// with a one-line message naming the path otherwise.
bool CheckRunPaths(VerifyRequest &request, std::string &error);

// Notes on masks that can match no file: every mask is matched against the
// whole path, which begins with '/'.
std::vector<std::string> MaskNotes(const VerifyRequest &request);

// The program's version, from the version block it carries as the window
// program does; empty when the block cannot be read.
std::string CliProgramVersion();

// The --help text, its lines shorter than `width` columns, and the same as
// a manual page (which the reader wraps).
std::string CliUsage(std::size_t width = 80);
std::string CliManPage(const std::string &version);

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

private:
    bool Ask(const std::string &question);
    void PutOut(const std::string &line);
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
    bool m_reportFailed = false;
    bool m_gathered = false; // the walk ended and the comparison was done
    double m_runTotalBytes = 0;
};

// The exit status of a finished run, like diff's: 0 when everything gathered
// was verified and matched, 1 when some files differ or are missing, 2 when
// the run was stopped or met trouble.
int CliExitStatus(bool stopped, int troubles, const VerifyCounters &counters);
