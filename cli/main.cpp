// quorvel-verify: verifies a copy from the command line, with the window's
// engine, texts and log.
#include "cli/CliWindow.h"
#include "engine/EscapeControls.h"
#include "engine/InfoThread.h"
#include "platform/StopSignals.h"
#include "platform/TerminalIo.h"

#include <cstdio>
#include <unistd.h>

namespace {

TInfoThread *g_worker = nullptr;

// A message of this program on standard error, on one line: the names in it
// are the user's and may hold any byte.
void Complain(const std::string &text)
{
    std::fprintf(stderr, "quorvel-verify: %s\n", EscapeControls(text).c_str());
}

extern "C" void OnInterrupt(int)
{
    // As the window's Cancel: the run stops at its next polling point and
    // still prints its summary; a file being moved to the trash is moved in
    // full first.
    if (g_worker)
        g_worker->Terminate();
}

} // namespace

int main(int argc, char **argv)
{
    CliOptions options;
    std::string error;
    if (!ParseCliArguments(argc - 1, argv + 1, options, error)) {
        Complain(error);
        std::fputs("Try 'quorvel-verify --help'.\n", stderr);
        return 2;
    }
    if (options.action == TCliAction::Help) {
        // As wide as the terminal it is read on; 80 columns in a file or pipe.
        const int columns = TerminalColumns(STDOUT_FILENO);
        std::fputs(CliUsage(columns > 0 ? std::size_t(columns) : 80).c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 2;
    }
    if (options.action == TCliAction::Version) {
        const std::string version = CliProgramVersion();
        if (version.empty()) {
            std::fputs("quorvel-verify: the program carries no version\n", stderr);
            return 2;
        }
        std::printf("quorvel-verify %s\n", version.c_str());
        return std::fflush(stdout) == 0 ? 0 : 2;
    }
    if (!CheckRunPaths(options.request, error)) {
        Complain(error);
        return 2;
    }
    // The report is opened before anything is compared: a run whose report
    // cannot be written is not started.
    TReportWriter report;
    if (!options.reportPath.empty() && !report.Open(options.reportPath)) {
        Complain("cannot write the report " + report.Error());
        return 2;
    }
    for (const std::string &note : MaskNotes(options.request))
        Complain("note: " + note);

    // A reader that went away (`| head`) is a failed write, which ends the
    // run in order, not a signal that kills it between two deletions.
    IgnoreBrokenPipe();
    const int tty = OpenControllingTerminal();
    TCliWindow window(options, STDOUT_FILENO, STDERR_FILENO, tty);
    TInfoThread worker(&window);
    g_worker = &worker;
    window.SetStopRun([&worker] { worker.Terminate(); });
    window.SetReport(&report);

    // Ctrl+C, SIGTERM and a hang-up stop the run at its next polling point;
    // a question waiting on the terminal ends with "no".
    CatchStopSignals(OnInterrupt);

    worker.Execute();
    g_worker = nullptr;
    const bool reportWritten = report.Close();
    if (!reportWritten)
        Complain("the report could not be written: " + report.Error());
    const int status = window.FinishRun(worker.StopRequested(), worker.Troubles(), worker.state.counters, reportWritten);
    CloseDescriptor(tty);
    return status;
}
