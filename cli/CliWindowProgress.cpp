// TCliWindow: what the engine says of the run's progress, handed to the
// progress line.
#include "cli/CliWindow.h"

void TCliWindow::ShowTotals(std::int32_t, std::int32_t files, double totalBytes)
{
    m_progress.Totals(files, totalBytes);
    m_progress.Update(TCliProgress::TClock::now());
}

void TCliWindow::ShowCounts(std::int32_t, std::int32_t, std::int32_t, std::int32_t filesChecked, std::int32_t files)
{
    m_progress.Checked(filesChecked, files);
    const auto now = TCliProgress::TClock::now();
    m_progress.Update(now);
    WriteHeldOlderThan(now);
}

void TCliWindow::ShowCurrentPair(const std::string &source, const std::string &)
{
    if (!source.empty())
        m_progress.Comparing();
}

void TCliWindow::StartOverallBar(std::int32_t, double totalBytes)
{
    m_runTotalBytes = totalBytes;
}

void TCliWindow::UpdateOverallBar(std::int32_t, double overallBytesDone)
{
    m_progress.RunBytes(overallBytesDone, m_runTotalBytes);
    const auto now = TCliProgress::TClock::now();
    m_progress.Update(now);
    WriteHeldOlderThan(now);
}

void TCliWindow::StopProgressTimer()
{
    m_progress.Stop();
    m_gathered = true;
    WriteHeld();
}
