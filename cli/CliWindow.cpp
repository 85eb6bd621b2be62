#include "CliWindow.h"

#include "MountTable.h"
#include "PathKind.h"
#include "Paths.h"

#include <cstring>

namespace {

const char kUsage[] =
    "Usage: quorvel-verify [OPTION]... SOURCE TARGET\n"
    "Proves that TARGET is an exact copy of SOURCE: every file under the SOURCE\n"
    "folder (or the single SOURCE file) is compared byte by byte with the TARGET\n"
    "file of the same relative path. Files that exist only in TARGET are not\n"
    "looked at.\n"
    "\n"
    "  --mask MASKS       which files to verify: masks separated by ';', matched\n"
    "                     against the whole path without regard to letter case,\n"
    "                     '*' any run of characters ('/' included), '?' one\n"
    "                     character; a mask list containing *.* takes every file\n"
    "                     (default *.*)\n"
    "  --no-subfolders    only the files directly in the SOURCE folder\n"
    "  --no-hidden        leave out files and folders whose names begin with '.'\n"
    "  --delete=source    after the comparison, move the matching SOURCE files to\n"
    "                     the trash and remove the SOURCE folders left empty\n"
    "  --delete=target    the same for the TARGET side\n"
    "  --from-disk        read every byte from the disks, not from the page cache:\n"
    "                     right after a copy the cache still holds what was\n"
    "                     written, and only this shows what reached the disk\n"
    "  --yes              answer yes to the delete confirmation and to the\n"
    "                     question whether files that cannot go to the trash may\n"
    "                     be deleted permanently; without it they are asked on\n"
    "                     the terminal, and answered no when there is none\n"
    "  --quiet            print only the summary lines\n"
    "  --help             show this help and exit\n"
    "\n"
    "Standard output carries the verify log: run-log lines stamped hh:mm:ss and\n"
    "one line per file pair (Files Match, Files Differ, Lengths Differ, Source\n"
    "Missing, Target Missing). Messages go to standard error as 'Caption: text'.\n"
    "A file is deleted only if it matched, is not itself the other side's file,\n"
    "and has not changed since it was compared, and only while its copy on the\n"
    "other side is still there as it was compared. Ctrl+C, SIGTERM and SIGHUP\n"
    "stop the run (a file being moved is moved in full); the summary is still\n"
    "printed.\n"
    "\n"
    "Exit status: 0 when every gathered file matched, 1 when some differ or are\n"
    "missing, 2 when the run could not be done (bad arguments, a SOURCE that\n"
    "cannot be listed), was cancelled, or met trouble on the way (a folder that\n"
    "could not be listed, a file that could not be read, a failed deletion).\n";

bool IsSummaryLine(const std::string &line)
{
    // Past the "hh:mm:ss " stamp.
    const std::string text = line.size() > 9 ? line.substr(9) : line;
    return text.rfind("Total number of files checked", 0) == 0 ||
           text.rfind("Total number of matching files", 0) == 0 ||
           text.rfind("Total number of missing files", 0) == 0 ||
           text.rfind("Total number of different files", 0) == 0 ||
           text.rfind("End file operations.", 0) == 0;
}

void PutLine(std::FILE *f, const std::string &line)
{
    std::fwrite(line.data(), 1, line.size(), f);
    std::fputc('\n', f);
}

} // namespace

const char *CliUsage()
{
    return kUsage;
}

bool ParseCliArguments(int argc, const char *const argv[], CliOptions &o, bool &help, std::string &error)
{
    help = false;
    std::vector<std::string> paths;
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            paths.push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--help" || a == "-h") {
            help = true;
            return true;
        } else if (a == "--mask" || a.rfind("--mask=", 0) == 0) {
            if (a == "--mask") {
                if (++i >= argc) {
                    error = "--mask needs a value";
                    return false;
                }
                o.request.maskText = argv[i];
            } else {
                o.request.maskText = a.substr(7);
            }
            // The window removes every blank from its filter; so do we.
            std::erase(o.request.maskText, ' ');
        } else if (a == "--no-subfolders") {
            o.request.includeSubfolders = false;
        } else if (a == "--no-hidden") {
            o.request.includeHidden = false;
        } else if (a == "--delete=source") {
            o.request.deleteMode = DeleteMode::Source;
        } else if (a == "--delete=target") {
            o.request.deleteMode = DeleteMode::Target;
        } else if (a == "--from-disk") {
            o.request.fromDisk = true;
        } else if (a == "--no-concurrent-reads") {
            // For benchmarks only: what reading both sides at once gains.
            o.request.concurrentReads = false;
        } else if (a == "--yes" || a == "-y") {
            o.yes = true;
        } else if (a == "--quiet" || a == "-q") {
            o.quiet = true;
        } else {
            error = "unknown option " + a;
            return false;
        }
    }
    if (paths.size() != 2) {
        error = "expected SOURCE and TARGET";
        return false;
    }
    if (paths[0].empty() || paths[1].empty()) {
        error = "SOURCE and TARGET must not be empty";
        return false;
    }
    o.request.sourcePath = AbsolutePath(paths[0]);
    o.request.targetPath = AbsolutePath(paths[1]);
    o.request.singleFile = GetPathKind(o.request.sourcePath) == pkFile;
    return true;
}

TCliWindow::TCliWindow(const CliOptions &options, std::FILE *out, std::FILE *err, std::FILE *answers)
    : m_options(options), m_out(out), m_err(err), m_answers(answers)
{
}

void TCliWindow::AppendRunLog(const std::string &line)
{
    if (!m_options.quiet || IsSummaryLine(line))
        PutLine(m_out, line);
}

void TCliWindow::AppendResultLine(const std::string &line)
{
    if (!m_options.quiet)
        PutLine(m_out, line);
}

void TCliWindow::ShowMessage(const std::string &caption, const std::string &text, TMessageIcon)
{
    std::fflush(m_out);
    PutLine(m_err, caption + ": " + text);
    std::fflush(m_err);
}

bool TCliWindow::Ask(const std::string &question)
{
    std::fflush(m_out);
    std::fputs(question.c_str(), m_err);
    if (m_options.yes) {
        std::fputs(" yes\n", m_err);
        return true;
    }
    if (!m_answers) {
        std::fputs(" no (no terminal to ask on; --yes answers yes)\n", m_err);
        return false;
    }
    std::fputs(" [y/N] ", m_err);
    std::fflush(m_err);
    char buf[64] = {};
    if (!std::fgets(buf, sizeof buf, m_answers)) {
        std::fputc('\n', m_err);
        return false;
    }
    return buf[0] == 'y' || buf[0] == 'Y';
}

bool TCliWindow::ConfirmDelete(std::size_t count, DeleteMode side)
{
    const bool source = side == DeleteMode::Source;
    const std::string path = source ? m_options.request.sourcePath : m_options.request.targetPath;
    const std::string drive = DrivePart(path);
    return Ask("Confirm Delete: Are you sure you want to Delete " + std::to_string(count) +
               " matching files from " + (source ? "Source" : "Target") + " drive " +
               (drive.empty() ? "/" : drive) + "?");
}

bool TCliWindow::AskPermanentDelete(std::size_t count)
{
    return Ask(std::to_string(count) + (count == 1 ? " file or folder" : " files or folders") +
               " cannot be moved to the trash. Delete permanently?");
}

int CliExitStatus(bool stopped, int troubles, const VerifyCounters &c)
{
    if (stopped || troubles > 0)
        return 2;
    if (c.different > 0 || c.missing > 0 || c.filesChecked != c.files)
        return 1;
    return 0;
}
