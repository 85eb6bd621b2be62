// The window program's command line: quorvel [--help] [--version]
// [SOURCE [TARGET]]. Read before any window exists, so that --help and
// --version work without a display.
#pragma once

#include <string>
#include <vector>

struct TWindowArguments {
    enum class TAction { Run, Help, Version } action = TAction::Run;
    // At most two: Source, then Target, made absolute against the folder
    // the program was started in.
    std::vector<std::string> paths;
};

// Parses the arguments (not the program name). False with a message in
// `error` when they are not usable. Looks at no file.
bool ParseWindowArguments(int argc, const char *const argv[], TWindowArguments &arguments, std::string &error);

// The --help text.
std::string WindowUsage();
