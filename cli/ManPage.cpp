// Writes the manual page of quorvel-verify, made from the text of its --help,
// to standard output; the build runs it once.
#include "cli/CliHelp.h"
#include "cli/CliWindow.h"

#include <cstdio>

int main()
{
    std::fputs(CliManPage(CliProgramVersion()).c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
