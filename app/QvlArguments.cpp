#include "app/QvlArguments.h"

#include "platform/Paths.h"

bool ParseWindowArguments(int argc, const char *const argv[], TWindowArguments &arguments, std::string &error)
{
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            if (a.empty()) {
                error = "SOURCE and TARGET must not be empty";
                return false;
            }
            arguments.paths.push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--help" || a == "-h") {
            arguments.action = TWindowArguments::TAction::Help;
            return true;
        } else if (a == "--version") {
            arguments.action = TWindowArguments::TAction::Version;
            return true;
        } else {
            error = "unknown option " + a;
            return false;
        }
    }
    if (arguments.paths.size() > 2) {
        error = "expected at most SOURCE and TARGET";
        return false;
    }
    // Typed into a box, a relative path is taken against the current
    // folder, which choosing the Source changes: resolved here, both are
    // taken against the folder the program was started in.
    for (std::string &path : arguments.paths)
        path = AbsolutePath(path);
    return true;
}

std::string WindowUsage()
{
    return "Usage: quorvel [--help] [--version] [SOURCE [TARGET]]\n"
           "Opens the window that proves a copy of files is exact. SOURCE and TARGET,\n"
           "when given, are entered in the Source and Target path boxes as if typed\n"
           "there and Enter pressed: a path that is not valid is said so. Start the\n"
           "verify with the Start button; quorvel-verify does it without a window.\n"
           "\n"
           "  --version  print the program's version and exit\n"
           "  --help     show this help and exit\n";
}
