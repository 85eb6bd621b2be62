// A worker's window that hands every call on, unchanged, to another one: a
// test derives from it to watch or hold the calls it is about and leaves
// the others to the window behind.
#pragma once

#include "engine/VerifyWindow.h"

class TForwardingWindow : public IVerifyWindow
{
public:
    explicit TForwardingWindow(IVerifyWindow &to) : m_to(to) {}

    VerifyRequest CaptureRequest() override { return m_to.CaptureRequest(); }
    void AppendRunLog(TLogKind kind, const std::string &line) override { m_to.AppendRunLog(kind, line); }
    void AppendResultLine(TReportResult result, const std::string &line) override
    {
        m_to.AppendResultLine(result, line);
    }
    void ShowTotals(std::int32_t d, std::int32_t f, double b) override { m_to.ShowTotals(d, f, b); }
    void ShowCounts(std::int32_t s, std::int32_t d, std::int32_t m, std::int32_t c, std::int32_t f) override
    {
        m_to.ShowCounts(s, d, m, c, f);
    }
    void ShowCurrentPair(const std::string &s, const std::string &t) override { m_to.ShowCurrentPair(s, t); }
    void StartFileBar(std::int32_t max) override { m_to.StartFileBar(max); }
    void UpdateFileBar(std::int32_t p) override { m_to.UpdateFileBar(p); }
    void StartOverallBar(std::int32_t max, double total) override { m_to.StartOverallBar(max, total); }
    void UpdateOverallBar(std::int32_t p, double done) override { m_to.UpdateOverallBar(p, done); }
    void StopProgressTimer() override { m_to.StopProgressTimer(); }
    void ReportRow(const TReportRow &row) override { m_to.ReportRow(row); }
    bool ConfirmDelete(std::size_t count, DeleteMode side) override { return m_to.ConfirmDelete(count, side); }
    bool DeleteOnCancelChecked() override { return m_to.DeleteOnCancelChecked(); }
    void ShowMessage(const std::string &c, const std::string &t, TMessageIcon i) override { m_to.ShowMessage(c, t, i); }
    bool AskPermanentDelete(std::size_t count) override { return m_to.AskPermanentDelete(count); }
    bool AskStackedDelete(const std::string &q) override { return m_to.AskStackedDelete(q); }

private:
    IVerifyWindow &m_to;
};
