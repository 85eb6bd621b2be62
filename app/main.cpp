// Quorvel: the window program.
#include "app/QvlApplication.h"
#include "app/QvlArguments.h"
#include "app/QvlMain.h"
#include "app/QvlPictures.h"
#include "app/QvlStartup.h"
#include "platform/QvlVersion.h"
#include "platform/TerminalIo.h"

#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    // Before anything is opened: a file the program opens (a saved log, a
    // report) must never land on a closed standard stream, where a message
    // written to it would end up.
    if (!OpenClosedStandardStreams())
        return 2;
    // The command line is read before Qt sees it: --help and --version need
    // no display, and a path given after "--" is never taken for one of
    // Qt's own options.
    TWindowArguments arguments;
    std::string error;
    if (!ParseWindowArguments(argc - 1, argv + 1, arguments, error)) {
        std::fprintf(stderr, "quorvel: %s\nTry 'quorvel --help'.\n", error.c_str());
        return 2;
    }
    if (arguments.action == TWindowArguments::TAction::Help) {
        std::fputs(WindowUsage().c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 2;
    }
    if (arguments.action == TWindowArguments::TAction::Version) {
        const std::string version = ProgramFileVersion();
        if (version.empty()) {
            std::fputs("quorvel: the program carries no version\n", stderr);
            return 2;
        }
        std::printf("quorvel %s\n", version.c_str());
        return std::fflush(stdout) == 0 ? 0 : 2;
    }

    int qtArgc = 1;
    TQvlApplication app(qtArgc, argv);
    TQvlApplication::setApplicationName(QStringLiteral("quorvel"));
    TQvlApplication::setDesktopFileName(QStringLiteral("org.quorvel.Quorvel"));
    TQvlApplication::setWindowIcon(QIcon(QuorvelLogoPixmap(64)));
    try {
        TQvlApplication::SetTitle(QStringLiteral("Quorvel 2.1.3"));
        CreateForms();
        CatchStopSignalsForMainForm();
        MainForm->show();
        // Once the window is up, so that a "Path Not Valid" box has it for
        // its owner.
        QTimer::singleShot(0, MainForm, [paths = arguments.paths] { MainForm->EnterPaths(paths); });
        TQvlApplication::exec();
    } catch (...) {
        ShowException(std::current_exception());
    }
    DestroyForms();
    return 0;
}
