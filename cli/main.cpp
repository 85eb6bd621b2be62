// quorvel-verify: verifies a copy from the command line, with the window's
// engine, texts and log.
#include "cli/CliHelp.h"
#include "cli/CliWindow.h"
#include "engine/EscapeControls.h"
#include "engine/InfoThread.h"
#include "engine/RunJournal.h"
#include "engine/RunLogText.h"
#include "platform/StopSignals.h"
#include "platform/TerminalIo.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

// The run to stop, once there is one; a stop that comes before it is kept
// for it.
std::atomic<TInfoThread *> g_worker {nullptr};
volatile std::sig_atomic_t g_stopSignalled = 0;

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
    g_stopSignalled = 1;
    if (TInfoThread *worker = g_worker.load())
        worker->Terminate();
}

// Tells of an unfinished run of the same folders and options that this run,
// started afresh, replaces.
void NoteUnfinishedRun(const VerifyRequest &request)
{
    if (request.resume || !JournalKept(request))
        return;
    const TJournalContents earlier = ReadJournal(request);
    if (earlier.usable)
        Complain("note: an unfinished run of these folders exists (" + FormatCount(double(earlier.records.size())) +
                 " of " + FormatCount(earlier.files) +
                 " files proven); --resume takes it up, this run starts afresh");
    else if (earlier.found)
        Complain("note: the journal of an unfinished run of these folders cannot be used (" + earlier.problem +
                 "), this run starts afresh - " + JournalPathOf(request));
}

// For the tests that kill a run half-way: after the given number of pairs
// the journal and the log so far are written out, a line on standard error
// says so, and the run waits to be killed.
void HoldForTests(TInfoThread &worker, TCliWindow &window)
{
    const char *text = std::getenv("QUORVEL_TEST_HOLD_AFTER_PAIRS");
    if (!text || !*text)
        return;
    const std::size_t pairs = std::strtoull(text, nullptr, 10);
    worker.Context().afterPair = [&worker, &window, pairs](std::size_t done) {
        if (done != pairs)
            return;
        FlushJournal(worker.Context());
        window.WriteHeld();
        std::fputs("quorvel-verify: test hold\n", stderr);
        std::fflush(stderr);
        for (;;)
            ::pause();
    };
}

} // namespace

int main(int argc, char **argv)
{
    // Before anything is opened: a closed standard stream must not become
    // the report's descriptor.
    if (!OpenClosedStandardStreams())
        return 2;
    // Ctrl+C, SIGTERM and a hang-up stop the run at its next polling point,
    // from the first moment on: one that comes before the run is a cancel
    // too, never death by signal. A question waiting on the terminal ends
    // with "no".
    CatchStopSignals(OnInterrupt);

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
    NoteUnfinishedRun(options.request);

    // A reader that went away (`| head`) is a failed write, which ends the
    // run in order, not a signal that kills it between two deletions.
    IgnoreBrokenPipe();
    const int tty = OpenControllingTerminal();
    TCliWindow window(options, STDOUT_FILENO, STDERR_FILENO, tty);
    TInfoThread worker(&window);
    g_worker = &worker;
    if (g_stopSignalled)
        worker.Terminate();
    window.SetStopRun([&worker] { worker.Terminate(); });
    HoldForTests(worker, window);
    if (!options.reportPath.empty())
        window.SetReport(&report);

    worker.Execute();
    g_worker = nullptr;
    const int status = window.FinishRun(worker.StopRequested(), worker.Troubles(), worker.state.counters);
    CloseDescriptor(tty);
    return status;
}
