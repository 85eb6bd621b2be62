// The verify worker's view of the main window. Display calls leave a copy of
// what they show in a mailbox and return at once: the worker never waits for
// a repaint. The window takes the mailbox on its own thread at its next
// display turn (about every 40 ms) and shows the latest values and every log
// line, in the order they were made. Calls that need an answer run on the
// window's thread while the worker waits, after the window has taken the
// mailbox, so everything shown before them is on the screen by then.
// While the window holds the worker (its cancel dialog is up) every call
// waits before it is handed over: a held worker shows nothing and asks
// nothing.
#pragma once

#include "app/RunReportRows.h"

#include "engine/VerifyWindow.h"

#include <mutex>
#include <string>
#include <vector>

class TRunControl;

// What the worker asked the window to show since the window last looked.
// Each group carries the latest values of its call and whether the call was
// made at all.
struct TRunMail {
    struct Line {
        bool runLog; // a run-log line (both logs) or a result line
        TLogKind kind;
        bool matched; // a result line whose pair matched
        std::string text;
    };
    std::vector<Line> lines;

    bool totals = false;
    std::int32_t folders = 0;
    double totalBytes = 0;

    bool counts = false;
    std::int32_t same = 0, different = 0, missing = 0;

    // TotalFiles: "files", or "checked/files" after a count. The later of
    // ShowTotals and ShowCounts decides.
    bool totalFiles = false;
    std::int32_t files = 0;
    std::int32_t filesChecked = -1; // -1: the files alone

    bool pair = false;
    std::string source, target;

    bool fileRange = false, filePosition = false;
    std::int32_t fileMax = 0, filePos = 0;

    bool overallRange = false, overallPosition = false;
    std::int32_t overallMax = 0, overallPos = 0;
    double runTotalBytes = 0, runBytesDone = 0;

    bool stopTimer = false;
};

class TVerifyBridge : public IVerifyWindow
{
public:
    explicit TVerifyBridge(TRunControl &control) : m_control(control) {}

    // Everything posted since the last call; the window's thread only.
    TRunMail TakeMail();
    // The request the next worker takes, made by the window at Start.
    void Prepare(VerifyRequest request);
    // The report rows of the run so far (the window takes them when the run
    // has ended); the window's thread only.
    TReportRows TakeReportRows();

    VerifyRequest CaptureRequest() override;
    void AppendRunLog(TLogKind kind, const std::string &line) override;
    void AppendResultLine(TReportResult result, const std::string &line) override;
    void ShowTotals(std::int32_t folders, std::int32_t files, double totalBytes) override;
    void ShowCounts(std::int32_t same, std::int32_t different, std::int32_t missing,
                    std::int32_t filesChecked, std::int32_t files) override;
    void ShowCurrentPair(const std::string &source, const std::string &target) override;
    void StartFileBar(std::int32_t max) override;
    void UpdateFileBar(std::int32_t position) override;
    void StartOverallBar(std::int32_t max, double totalBytes) override;
    void UpdateOverallBar(std::int32_t position, double overallBytesDone) override;
    void StopProgressTimer() override;
    void ReportRow(const TReportRow &row) override;
    bool ConfirmDelete(std::size_t count, DeleteMode side) override;
    bool DeleteOnCancelChecked() override;
    void ShowMessage(const std::string &caption, const std::string &text, TMessageIcon icon) override;
    bool AskPermanentDelete(std::size_t count) override;
    bool AskStackedDelete(const std::string &question) override;

private:
    // Waits while the window holds the worker.
    void WaitWhileHeld();
    // Runs `call` on the window's thread and waits for its result.
    template <class Call>
    auto OnWindow(Call call) -> decltype(call());

    TRunControl &m_control;
    std::mutex m_mutex; // guards m_mail; held only to copy values in or out
    TRunMail m_mail;
    VerifyRequest m_request;
    // The report grows by a row a pair; the window has no use for it before
    // the end, so it is not part of the mail each display turn moves.
    std::mutex m_rowsMutex;
    TReportRows m_rows;
};
