// The verify worker's window, as a terminal: log lines to stdout, message
// boxes to stderr, questions asked on the terminal.
#pragma once

#include "VerifyWindow.h"

#include <cstdio>

struct CliOptions {
    VerifyRequest request;
    bool yes = false;   // answer every question with yes
    bool quiet = false; // only the summary lines
};

// Parses the arguments (not the program name). Returns false with a message
// in `error` when they are not usable; `help` is set for --help.
bool ParseCliArguments(int argc, const char *const argv[], CliOptions &options, bool &help, std::string &error);

// The --help text.
const char *CliUsage();

class TCliWindow : public IVerifyWindow
{
public:
    // `answers` is where questions are answered from: the terminal, or
    // nullptr when there is none (every question is then answered no,
    // unless --yes).
    TCliWindow(const CliOptions &options, std::FILE *out, std::FILE *err, std::FILE *answers);

    VerifyRequest CaptureRequest() override { return m_options.request; }
    void AppendRunLog(const std::string &line) override;
    void AppendResultLine(const std::string &line) override;
    void ShowTotals(std::int32_t, std::int32_t, double) override {}
    void ShowCounts(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {}
    void ShowCurrentPair(const std::string &, const std::string &) override {}
    void StartFileBar(std::int32_t) override {}
    void UpdateFileBar(std::int32_t) override {}
    void StartOverallBar(std::int32_t, double) override {}
    void UpdateOverallBar(std::int32_t, double) override {}
    void StopProgressTimer() override {}
    bool ConfirmDelete(std::size_t count, DeleteMode side) override;
    bool DeleteOnCancelChecked() override { return false; }
    void ShowMessage(const std::string &caption, const std::string &text, TMessageIcon icon) override;
    bool AskPermanentDelete(std::size_t count) override;

private:
    bool Ask(const std::string &question);

    CliOptions m_options;
    std::FILE *m_out;
    std::FILE *m_err;
    std::FILE *m_answers;
};

// The exit status of a finished run, like diff's: 0 when everything gathered
// was verified and matched, 1 when some files differ or are missing, 2 when
// the run was stopped or met trouble.
int CliExitStatus(bool stopped, int troubles, const VerifyCounters &counters);
