// A verify window for tests: records every call in order, answers the
// questions as the test says, and lets a test act at any call (delete a file,
// request a stop, ...). Safe to use from the worker's own thread.
#pragma once

#include "engine/VerifyWindow.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

class RecordingWindow : public IVerifyWindow
{
public:
    VerifyRequest request;
    bool confirmDelete = true;
    bool deleteOnCancel = false;
    bool permanentDelete = false;

    // Called (outside the lock) with the name of every call as it happens.
    std::function<void(const std::string &call)> onCall;

    struct Bar {
        std::int32_t max = -1;
        std::vector<std::int32_t> positions;
    };

    // Everything recorded; read it after the run (or under lock()).
    std::vector<std::string> calls;       // call names, in order
    std::vector<std::string> logLines;    // run-log lines without their stamp
    std::vector<std::string> resultLines;
    std::vector<std::string> verifyLog;   // both kinds, as the verify log shows them
    std::vector<std::string> messages;    // "Caption: text"
    std::vector<std::size_t> confirmCounts;
    std::vector<std::string> stampedLines;
    std::vector<TLogKind> logKinds;       // of each run-log line
    std::vector<TReportResult> resultOutcomes; // of each result line
    Bar fileBar, overallBar;
    std::int32_t totalsFiles = 0;
    double totalsBytes = 0;
    std::string countsText;               // "checked/files"
    std::pair<std::string, std::string> currentPair;
    bool timerStopped = false;
    std::vector<TReportRow> reportRows;

    std::unique_lock<std::mutex> lock() { return std::unique_lock<std::mutex>(m_mutex); }

    std::size_t count(const std::string &call)
    {
        auto l = lock();
        std::size_t n = 0;
        for (const auto &c : calls)
            n += c == call;
        return n;
    }

    VerifyRequest CaptureRequest() override
    {
        note("CaptureRequest");
        return request;
    }
    void AppendRunLog(TLogKind kind, const std::string &line) override
    {
        {
            auto l = lock();
            logKinds.push_back(kind);
            stampedLines.push_back(line);
            logLines.push_back(line.size() > 9 ? line.substr(9) : line);
            verifyLog.push_back(line);
        }
        note("AppendRunLog");
    }
    void AppendResultLine(TReportResult result, const std::string &line) override
    {
        {
            auto l = lock();
            resultLines.push_back(line);
            resultOutcomes.push_back(result);
            verifyLog.push_back(line);
        }
        note("AppendResultLine");
    }
    void ShowTotals(std::int32_t, std::int32_t files, double bytes) override
    {
        {
            auto l = lock();
            totalsFiles = files;
            totalsBytes = bytes;
        }
        note("ShowTotals");
    }
    void ShowCounts(std::int32_t, std::int32_t, std::int32_t, std::int32_t checked, std::int32_t files) override
    {
        {
            auto l = lock();
            countsText = std::to_string(checked) + "/" + std::to_string(files);
        }
        note("ShowCounts");
    }
    void ShowCurrentPair(const std::string &s, const std::string &t) override
    {
        {
            auto l = lock();
            currentPair = {s, t};
        }
        note("ShowCurrentPair");
    }
    void StartFileBar(std::int32_t max) override
    {
        {
            auto l = lock();
            fileBar = Bar{max, {}};
        }
        note("StartFileBar");
    }
    void UpdateFileBar(std::int32_t pos) override
    {
        {
            auto l = lock();
            fileBar.positions.push_back(pos);
        }
        note("UpdateFileBar");
    }
    void StartOverallBar(std::int32_t max, double) override
    {
        {
            auto l = lock();
            overallBar.max = max;
        }
        note("StartOverallBar");
    }
    void UpdateOverallBar(std::int32_t pos, double) override
    {
        {
            auto l = lock();
            overallBar.positions.push_back(pos);
        }
        note("UpdateOverallBar");
    }
    void StopProgressTimer() override
    {
        {
            auto l = lock();
            timerStopped = true;
        }
        note("StopProgressTimer");
    }
    void ReportRow(const TReportRow &row) override
    {
        {
            auto l = lock();
            reportRows.push_back(row);
        }
        note("ReportRow");
    }
    bool ConfirmDelete(std::size_t n, DeleteMode) override
    {
        {
            auto l = lock();
            confirmCounts.push_back(n);
        }
        note("ConfirmDelete");
        return confirmDelete;
    }
    bool DeleteOnCancelChecked() override
    {
        note("DeleteOnCancelChecked");
        return deleteOnCancel;
    }
    void ShowMessage(const std::string &caption, const std::string &text, TMessageIcon) override
    {
        {
            auto l = lock();
            messages.push_back(caption + ": " + text);
        }
        note("ShowMessage");
    }
    bool AskPermanentDelete(std::size_t) override
    {
        note("AskPermanentDelete");
        return permanentDelete;
    }

private:
    void note(const std::string &call)
    {
        {
            auto l = lock();
            calls.push_back(call);
        }
        if (onCall)
            onCall(call);
    }

    std::mutex m_mutex;
};
