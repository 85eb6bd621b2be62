#include "cli/CliProgress.h"

#include "engine/RunLogText.h"
#include "platform/TerminalIo.h"

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
    m_progress.files = files;
    m_progress.gatheredBytes = totalBytes;
}

void TCliProgress::Checked(std::int32_t filesChecked, std::int32_t files)
{
    m_progress.filesChecked = filesChecked;
    m_progress.files = files;
    m_comparing = true;
}

void TCliProgress::RunBytes(double done, double total)
{
    m_progress.bytesDone = done;
    m_progress.totalBytes = total;
    m_comparing = true;
}

void TCliProgress::Update(TClock::time_point now)
{
    if (!m_enabled)
        return;
    const std::int64_t seconds = std::chrono::duration_cast<std::chrono::seconds>(now - m_start).count();
    if (seconds != m_seconds) {
        m_seconds = seconds;
        m_progress.Tick(seconds);
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
    const TProgressSnapshot &p = m_progress;
    if (!m_comparing)
        return "Gathering: " + FormatCount(p.files) + " files, " + ShortSize(p.gatheredBytes);
    return FormatCount(p.filesChecked) + "/" + FormatCount(p.files) + " files  " + ShortSize(p.bytesDone) + "/" +
           ShortSize(p.totalBytes) + "  " + FormatClock(p.elapsed) + " / " + FormatClock(p.estimate) + "  " +
           FormatCount(p.rate) + " Kb/s";
}
