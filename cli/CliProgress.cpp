#include "cli/CliProgress.h"

#include "engine/RunLogText.h"
#include "platform/TerminalIo.h"
#include "engine/TimerFigures.h"

#include <cstdio>

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

const char kEraseLine[] = "\r\033[K";

// The first `columns` - 1 columns of `text` (UTF-8), so that the line never
// wraps and "\r" still returns to its start.
std::string FitTo(const std::string &text, int columns)
{
    if (columns <= 1)
        return text;
    int used = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;
        if (++used == columns)
            return text.substr(0, i);
    }
    return text;
}

} // namespace

std::string ShortSize(double bytes)
{
    static const char *const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB"};
    if (bytes < 1024)
        return std::to_string(static_cast<long long>(bytes)) + " B";
    int unit = 0;
    bytes /= 1024;
    while (bytes >= 1024 && unit < 4) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", bytes, kUnits[unit]);
    return text;
}

TCliProgress::TCliProgress(int fd, bool enabled) : m_fd(fd), m_enabled(enabled)
{
}

void TCliProgress::Start(TClock::time_point now)
{
    m_start = now;
}

void TCliProgress::Totals(std::int32_t files, double totalBytes)
{
    m_files = files;
    m_totalBytes = totalBytes;
}

void TCliProgress::Checked(std::int32_t filesChecked, std::int32_t files)
{
    m_checked = filesChecked;
    m_files = files;
    m_comparing = true;
}

void TCliProgress::RunBytes(double done, double total)
{
    m_runBytesDone = done;
    m_runTotalBytes = total;
    m_comparing = true;
}

void TCliProgress::Tick(std::int64_t seconds)
{
    // What the window's progress timer does each second.
    const TTimerFigures f = TimerFigures(seconds, m_runBytesDone, m_runTotalBytes);
    if (f.rateAndEstimate) {
        if (f.estimateKnown)
            m_estimate = f.estimate;
        m_rate = f.rate;
    }
}

void TCliProgress::Update(TClock::time_point now)
{
    if (!m_enabled)
        return;
    const std::int64_t seconds = std::chrono::duration_cast<std::chrono::seconds>(now - m_start).count();
    if (seconds != m_seconds) {
        m_seconds = seconds;
        Tick(seconds);
    }
    // Also after an erase: a run that prints a line per file would
    // otherwise draw once per file.
    if (m_lastDraw != TClock::time_point() && now - m_lastDraw < kRedrawInterval)
        return;
    m_lastDraw = now;
    int error = 0;
    m_drawn = WriteAll(m_fd, "\r" + FitTo(Text(), TerminalColumns(m_fd)) + "\033[K", error);
}

void TCliProgress::Erase()
{
    if (!m_drawn)
        return;
    m_drawn = false;
    int error = 0;
    WriteAll(m_fd, kEraseLine, error);
}

void TCliProgress::Stop()
{
    Erase();
    m_enabled = false;
}

std::string TCliProgress::Text() const
{
    if (!m_comparing)
        return "Gathering: " + FormatCount(m_files) + " files, " + ShortSize(m_totalBytes);
    const std::int64_t elapsed = m_seconds < 0 ? 0 : m_seconds;
    return FormatCount(m_checked) + "/" + FormatCount(m_files) + " files  " + ShortSize(m_runBytesDone) + "/" +
           ShortSize(m_runTotalBytes) + "  " + FormatClock(elapsed) + " / " + FormatClock(m_estimate) + "  " +
           FormatCount(m_rate) + " Kb/s";
}
