// The command line: what it asks for, and whether the paths it names can be
// verified.
#pragma once

#include "engine/VerifyTypes.h"

#include <string>
#include <vector>

enum class TCliAction { Run, Help, Version };
enum class TProgressMode { Auto, On, Off };

struct CliOptions {
    VerifyRequest request;
    TCliAction action = TCliAction::Run;
    bool yes = false;   // answer every question with yes
    bool quiet = false; // only the summary lines and the deletion totals
    bool json = false;  // JSON Lines on standard output instead of the log
    TProgressMode progress = TProgressMode::Auto; // Auto: when stderr is a terminal
    std::string reportPath; // --report: the CSV report's file, or none
};

// Parses the arguments (not the program name). Returns false with a message
// in `error` when they are not usable. Looks at no file.
bool ParseCliArguments(int argc, const char *const argv[], CliOptions &options, std::string &error);

// What the window's Start demands of the paths: the SOURCE exists, and the
// two are both folders or both files. Sets the request's `singleFile`; false
// with a one-line message naming the path otherwise.
bool CheckRunPaths(VerifyRequest &request, std::string &error);

// Notes on masks that can match no file: every mask is matched against the
// whole path, which begins with '/'.
std::vector<std::string> MaskNotes(const VerifyRequest &request);

// The program's version, from the version block it carries as the window
// program does; empty when the block cannot be read.
std::string CliProgramVersion();
