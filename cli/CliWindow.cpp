#include "cli/CliWindow.h"

#include "cli/JsonPrinter.h"
#include "cli/TextPrinter.h"

#include "engine/EscapeControls.h"
#include "platform/TerminalIo.h"

#include <cstring>

TCliWindow::TCliWindow(const CliOptions &options, int outFd, int errFd, int ttyFd)
    : m_options(options), m_outFd(outFd), m_errFd(errFd), m_ttyFd(ttyFd),
      m_progress(errFd, options.progress == TProgressMode::On ||
                            (options.progress == TProgressMode::Auto && IsTerminal(errFd))),
      m_holdResults(!IsTerminal(outFd))
{
}

VerifyRequest TCliWindow::CaptureRequest()
{
    m_progress.Start(TCliProgress::TClock::now());
    // The request as the run takes it: whether the Source is a single file
    // is known by now.
    const auto put = [this](const std::string &line) { PutOut(line); };
    if (m_options.json)
        m_printer = std::make_unique<TJsonPrinter>(m_options.request, m_options.quiet, put);
    else
        m_printer = std::make_unique<TTextPrinter>(m_options.quiet, put);
    return m_options.request;
}

void TCliWindow::PutOut(const std::string &line)
{
    if (m_outFailed)
        return;
    if (m_held.empty())
        m_heldSince = TCliProgress::TClock::now();
    m_held += line;
    m_held += '\n';
    if (m_printingResult && m_held.size() < kHoldBytes)
        return;
    WriteHeld();
}

void TCliWindow::WriteHeld()
{
    if (m_outFailed || m_held.empty())
        return;
    m_progress.Erase();
    int error = 0;
    const bool written = WriteAll(m_outFd, m_held, error);
    m_held.clear();
    if (written)
        return;
    // Nothing more can be told; go on neither comparing nor deleting.
    m_outFailed = true;
    PutErr(std::string("quorvel-verify: cannot write to standard output (") + std::strerror(error) +
           "); the run stops");
    if (m_stopRun)
        m_stopRun();
}

void TCliWindow::WriteHeldOlderThan(TCliProgress::TClock::time_point now)
{
    if (!m_held.empty() && now - m_heldSince >= kHoldFor)
        WriteHeld();
}

template <typename Print>
void TCliWindow::PrintResult(Print print)
{
    m_printingResult = m_holdResults;
    print();
    m_printingResult = false;
}

void TCliWindow::PutErr(const std::string &line)
{
    // Messages and questions name the user's files: whatever a name holds,
    // one message is one line.
    PutShownErr(EscapeControls(line));
}

void TCliWindow::PutShownErr(const std::string &shown)
{
    WriteHeld();
    m_progress.Erase();
    int error = 0;
    WriteAll(m_errFd, shown + '\n', error);
}

void TCliWindow::AppendRunLog(TLogKind kind, const std::string &line)
{
    m_printer->LogLine(kind, line);
}

void TCliWindow::AppendResultLine(TReportResult, const std::string &line)
{
    PrintResult([&] { m_printer->LogLine(TLogKind::PairResult, line); });
}

void TCliWindow::ShowMessage(const std::string &caption, const std::string &text, TMessageIcon)
{
    // One message, one line: the paragraphs of a box's text follow each
    // other. The names in it are escaped already, as the window's box shows
    // them; escaping them again would double their backslashes.
    std::string line = caption + ":";
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        if (end > start)
            line += " " + text.substr(start, end - start);
        start = end + 1;
    }
    PutShownErr(line);
}

void TCliWindow::ReportRow(const TReportRow &row)
{
    if (row.result == TReportResult::Deleted || row.result == TReportResult::NotDeleted)
        m_printer->Row(row);
    else
        PrintResult([&] { m_printer->Row(row); });
    if (!m_report || m_reportFailed)
        return;
    // Each row is in the file before the run goes on: a report that cannot
    // be written (a full disk) stops the run before the next deletion, as
    // standard output does, and never misses a deletion that followed.
    m_report->Write(row);
    if (m_report->Flush())
        return;
    m_reportFailed = true;
    PutErr("quorvel-verify: cannot write the report " + m_report->Error() + "; the run stops");
    if (m_stopRun)
        m_stopRun();
}

int TCliWindow::FinishRun(bool stopped, int troubles, const VerifyCounters &counters)
{
    m_progress.Stop();
    if (m_gathered && !stopped && counters.files == 0 && !m_options.request.singleFile) {
        const std::string &masks = m_options.request.maskText;
        PutErr("quorvel-verify: note: no file was gathered, so none was compared" +
               (masks.find("*.*") == std::string::npos ? " (--mask '" + masks + "')" : std::string()));
    }
    if (m_report && !m_reportFailed && !m_report->Close()) {
        m_reportFailed = true;
        PutErr("quorvel-verify: the report could not be written: " + m_report->Error());
    }
    const int status = m_reportFailed ? 2 : CliExitStatus(stopped, troubles, counters);
    if (m_printer)
        m_printer->Finish({counters, stopped, troubles, status});
    WriteHeld();
    return m_outFailed ? 2 : status;
}

int CliExitStatus(bool stopped, int troubles, const VerifyCounters &c)
{
    if (stopped || troubles > 0)
        return 2;
    if (c.different > 0 || c.missing > 0 || c.filesChecked != c.files || c.attributesDiffer > 0 ||
        c.targetOnly > 0)
        return 1;
    return 0;
}
