// quorvel-verify: verifies a copy from the command line, with the window's
// engine, texts and log.
#include "CliWindow.h"
#include "InfoThread.h"
#include "StopSignals.h"

#include <cstdio>
#include <unistd.h>

namespace {

TInfoThread *g_worker = nullptr;

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
    bool help = false;
    std::string error;
    if (!ParseCliArguments(argc - 1, argv + 1, options, help, error)) {
        std::fprintf(stderr, "quorvel-verify: %s\nTry 'quorvel-verify --help'.\n", error.c_str());
        return 2;
    }
    if (help) {
        std::fputs(CliUsage(), stdout);
        return 0;
    }

    // Line by line, so that a pipe (tee, a test, a watching script) follows
    // the run as it goes.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::FILE *answers = ::isatty(STDIN_FILENO) ? stdin : nullptr;
    TCliWindow window(options, stdout, stderr, answers);
    TInfoThread worker(&window);
    g_worker = &worker;

    // Ctrl+C, SIGTERM and a hang-up stop the run at its next polling point;
    // a question waiting on the terminal ends with "no".
    CatchStopSignals(OnInterrupt);

    worker.Execute();
    g_worker = nullptr;
    std::fflush(stdout);
    return CliExitStatus(worker.StopRequested(), worker.Troubles(), worker.counters);
}
