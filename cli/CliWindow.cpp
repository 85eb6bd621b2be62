#include "cli/CliWindow.h"

#include "cli/JsonPrinter.h"
#include "cli/TextPrinter.h"

#include "platform/EntryProbe.h"
#include "engine/EscapeControls.h"
#include "engine/FolderWalk.h"
#include "platform/MountTable.h"
#include "platform/Paths.h"
#include "platform/QvlVersion.h"
#include "platform/TerminalIo.h"

#include <algorithm>
#include <cstring>

namespace {

// ------------------------------------------------------------------ help
// One text serves --help and the manual page.

const char kSynopsis[] = "quorvel-verify [OPTION]... SOURCE TARGET";
const char kCheckSynopsis[] = "quorvel-verify [OPTION]... --check FILE TARGET";

const char *const kDescription[] = {
    "Proves that TARGET is an exact copy of SOURCE: every file under the SOURCE "
    "folder (or the single SOURCE file) is compared byte by byte with the TARGET "
    "file of the same relative path. Files that exist only in TARGET are not "
    "looked at. SOURCE and TARGET must both be folders or both be files, and "
    "SOURCE must exist.",
};

struct THelpItem {
    const char *name;
    const char *text;
};

const THelpItem kOptions[] = {
    {"--mask MASKS",
     "which files to verify: masks separated by ';', matched against the whole "
     "path without regard to letter case, '*' any run of characters ('/' "
     "included), '?' one character; a mask list containing *.* takes every file "
     "(default *.*). As paths begin with '/', a mask for names begins with '*': "
     "'*/IMG_*.jpg', not 'IMG_*.jpg' (which matches nothing; a note says so)"},
    {"--no-subfolders", "only the files directly in the SOURCE folder"},
    {"--no-hidden", "leave out files and folders whose names begin with '.'"},
    {"--delete=source",
     "after the comparison, move the matching SOURCE files to the trash and "
     "remove the SOURCE folders left empty"},
    {"--delete=target", "the same for the TARGET side"},
    {"--from-disk",
     "read every byte from the disks, not from the page cache: right after a "
     "copy the cache still holds what was written, and only this shows what "
     "reached the disk"},
    {"--yes",
     "answer yes to the delete confirmation and to the question whether files "
     "that cannot go to the trash may be deleted permanently; without it they "
     "are asked on the terminal (/dev/tty, also when the standard streams are "
     "redirected), and answered no when there is none"},
    {"--quiet", "print only the summary lines and the deletion totals"},
    {"--json",
     "print JSON Lines on standard output instead of the log: one object per "
     "line, described under JSON OUTPUT"},
    {"--report FILE",
     "write a report of the run to FILE as CSV (RFC 4180, UTF-8) as the run "
     "goes: the header result,source,target,size,note, then one row per pair "
     "compared (match, differ, lengths-differ, source-missing, target-missing "
     "or unreadable, with the Source's size), one per Source entry skipped "
     "as no regular file (skipped, with what it is as its note) and one per "
     "file of a deletion (deleted, or not-deleted with the reason as its "
     "note). Control characters in names are written as \\n, \\t or \\xHH "
     "and a backslash as \\\\, as in the log. FILE may be a FIFO or a "
     "device; a FIFO that no process reads is refused. When FILE cannot be "
     "written, the run stops as for Ctrl+C, before any further deletion, and "
     "the exit status is 2"},
    {"--checksums FILE",
     "record the SHA-256 of every file proven identical into FILE, in the "
     "format sha256sum writes and sha256sum -c reads, with paths relative to "
     "TARGET (for two files: the TARGET file's name). The bytes compared are "
     "hashed as they are read; FILE is written under a temporary name beside "
     "it and takes its name when the run ends (after a cancel it holds the "
     "files proven so far). The summary names FILE and how many files it "
     "holds"},
    {"--check FILE",
     "instead of comparing with a SOURCE, read every file that the checksum "
     "file FILE lists below the folder TARGET and compare its digest with "
     "the one recorded: one line per file (Files Match, Files Differ, Target "
     "Missing), the summary and the exit status as for a verify. FILE may "
     "hold GNU lines (HASH  PATH, HASH *PATH, escaped names) or BSD tags "
     "(SHA256 (PATH) = HASH), of MD5, SHA-1, SHA-256 or SHA-512. A path that "
     "is absolute, holds '..' or leads out of TARGET through a link is never "
     "opened; it and every line that is no checksum line are logged with "
     "their line number and make the exit status 2. Files in TARGET that FILE "
     "does not list are not looked at"},
    {"--resume",
     "take up the unfinished run of the same SOURCE and TARGET with the same "
     "--mask, --no-subfolders, --no-hidden and --from-disk: a pair it proved "
     "identical is counted as matching without being read again, as long as "
     "neither of its files changed since (same device, inode, size, "
     "modification and change time); every other pair is compared. Its "
     "lines, totals and exit status are those of a full run; the report "
     "notes such a pair as resumed and the summary says how many there were. "
     "Every folder run keeps a journal of the pairs it proved in "
     "$XDG_STATE_HOME/quorvel/runs (~/.local/state/quorvel/runs), removed when "
     "the run ends and after 30 days; without --resume a note says when an "
     "unfinished run exists, and the run starts afresh"},
    {"--progress",
     "show the progress line on standard error even when it is not a "
     "terminal"},
    {"--no-progress", "never show the progress line"},
    {"--version", "print the program's version and exit"},
    {"--help", "show this help and exit"},
};

const THelpItem kSections[] = {
    {"Output",
     "Standard output carries the verify log: run-log lines stamped hh:mm:ss and "
     "one line per file pair (Files Match, Files Differ, Lengths Differ, Source "
     "Missing, Target Missing), and a line per Source entry that is not a "
     "regular file (a FIFO, a device, a socket, a link leading nowhere or into "
     "a loop), which is never opened. Messages and notes go to standard error as "
     "'Caption: text'. When standard error is a terminal, a progress line there "
     "shows the files checked of the total, the bytes compared of the total, the "
     "elapsed and estimated time of the whole run, and the data rate, as the "
     "window shows them; it is removed before any other line is printed. When "
     "standard output cannot be written (a closed pipe, a full disk), the run "
     "stops as for Ctrl+C, before any further deletion, and the exit status is 2."},
    {"JSON output",
     "With --json, every line of standard output is one JSON object whose "
     "\"type\" says what it is. \"pair\": a file pair compared, with \"result\" "
     "(match, differ, lengths-differ, source-missing, target-missing or "
     "unreadable), \"path\" (relative to SOURCE; the file's name for a single "
     "file), \"source\" and \"target\" (full paths), \"size\" (the SOURCE file's "
     "size in bytes, null when unknown) and, for an unreadable pair, \"note\" "
     "(the reason), for a match taken over by --resume \"note\": \"resumed\". \"deletion\": a file a deletion took or kept, with "
     "\"result\" (deleted or not-deleted), \"side\" (source or target), "
     "\"path\", \"source\", \"target\", \"size\" and, when kept, \"note\" (why). "
     "\"log\": a line of the run log, with \"kind\" (event, note, summary or "
     "deletion-total), \"time\" (hh:mm:ss) and \"text\". \"summary\": the last "
     "line, with the totals \"folders\", \"files\", \"bytes\", \"checked\", "
     "\"matching\", \"missing\", \"different\" and \"unreadable\", "
     "\"files_deleted\" and \"folders_deleted\" when a deletion ran, \"resumed\" "
     "and \"resumed_bytes\" (the pairs --resume took over and their bytes) "
     "when there were any, "
     "\"stopped\" (true or false), \"troubles\" (problems met on the way) and "
     "\"exit_status\". A name that is valid UTF-8 is given as it is; one that "
     "is not is given byte-escaped (every backslash doubled, control characters "
     "as \\n, \\t, \\r or \\xHH, and each byte that is not UTF-8 as \\xHH) and "
     "the object then holds \"FIELD_escaped\": true for that field. With --quiet "
     "only the summary and deletion-total log lines and the summary are printed. "
     "Messages and questions stay as they are, on standard error and the "
     "terminal."},
    {"Deletion",
     "A file is deleted only if it matched, is not itself the other side's file, "
     "and has not changed since it was compared, and only while its copy on the "
     "other side is still there as it was compared."},
    {"Stopping",
     "Ctrl+C, SIGTERM and SIGHUP stop the run (a file being moved is moved in "
     "full), from the program's first moment on. A stop while the files are "
     "compared or deleted still prints the summary; a stop while the files are "
     "being gathered prints none. A run stopped while its files are compared, "
     "or killed, can be taken up again with --resume."},
    {"Exit status",
     "0 when every gathered file matched, also when no file was gathered at all "
     "(a note on standard error says so); 1 when some differ or are missing; 2 "
     "when the run could not be done (bad arguments, a SOURCE that does not "
     "exist or cannot be listed, a SOURCE and TARGET of different kinds), was "
     "cancelled, met trouble on the way (a folder that could not be listed, a "
     "file that could not be read, a failed deletion) or could not write its "
     "log or its report."},
};

// `text` broken into lines of at most `width` columns, each after `indent`
// blanks; the first line after `first` instead when it is given.
std::string Wrapped(const std::string &text, std::size_t indent, std::size_t width, std::string first = {})
{
    std::string out;
    std::string line = first.empty() ? std::string(indent, ' ') : first;
    bool lineEmpty = true;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(start, end - start);
        start = end + 1;
        if (!lineEmpty && line.size() + 1 + word.size() > width) {
            out += line + '\n';
            line = std::string(indent, ' ');
            lineEmpty = true;
        }
        line += (lineEmpty ? "" : " ") + word;
        lineEmpty = false;
    }
    return out + line + '\n';
}

// Text for roff: backslashes and minus signs spelt out, no line taken for a
// request.
std::string Roff(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out.insert(0, "\\&");
    return out;
}

std::string Upper(std::string text)
{
    for (char &c : text)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// ------------------------------------------------------------------ the run

// What a path is, for the messages about it.
enum class TKind { Missing, Other, File, Folder };

TKind KindOf(const std::string &path)
{
    const TEntryProbe probe = ProbeEntry(path);
    if (!probe.exists)
        return TKind::Missing;
    return probe.isDir ? TKind::Folder : probe.isFile ? TKind::File : TKind::Other;
}

const char *KindWord(TKind kind)
{
    return kind == TKind::Folder ? "a folder" : "a file";
}

} // namespace

std::string CliUsage(std::size_t width)
{
    // Too narrow a width would leave no room beside the option names.
    width = std::max<std::size_t>(width, 40);
    const std::size_t last = width - 1; // a full line would make some terminals wrap
    std::string out = std::string("Usage: ") + kSynopsis + '\n' + "  or:  " + kCheckSynopsis + '\n';
    for (const char *paragraph : kDescription)
        out += Wrapped(paragraph, 0, last);
    out += '\n';
    for (const THelpItem &option : kOptions) {
        std::string first = "  " + std::string(option.name);
        first.resize(std::max<std::size_t>(first.size() + 1, 21), ' ');
        first.pop_back(); // Wrapped puts the blank before the first word
        out += Wrapped(option.text, 21, last, first);
    }
    // Each heading on a line of its own, its text indented below it.
    for (const THelpItem &section : kSections)
        out += '\n' + std::string(section.name) + ":\n" + Wrapped(section.text, 2, last);
    return out;
}

std::string CliManPage(const std::string &version)
{
    std::string out = ".TH QUORVEL-VERIFY 1 \"\" \"quorvel-verify " + version + "\" \"User Commands\"\n";
    out += ".SH NAME\nquorvel\\-verify \\- prove that a copy of files is exact\n";
    out += ".SH SYNOPSIS\n.B quorvel\\-verify\n[\\fIOPTION\\fR]... \\fISOURCE\\fR \\fITARGET\\fR\n";
    out += ".br\n.B quorvel\\-verify\n[\\fIOPTION\\fR]... \\fB\\-\\-check\\fR \\fIFILE\\fR \\fITARGET\\fR\n";
    out += ".SH DESCRIPTION\n";
    for (const char *paragraph : kDescription)
        out += (paragraph == kDescription[0] ? "" : ".PP\n") + Roff(paragraph) + '\n';
    out += ".SH OPTIONS\n";
    for (const THelpItem &option : kOptions)
        out += ".TP\n.B " + Roff(option.name) + '\n' + Roff(option.text) + '\n';
    for (const THelpItem &section : kSections)
        out += ".SH " + Roff(Upper(section.name)) + '\n' + Roff(section.text) + '\n';
    return out;
}

std::string CliProgramVersion()
{
    return ProgramFileVersion();
}

bool ParseCliArguments(int argc, const char *const argv[], CliOptions &o, std::string &error)
{
    std::vector<std::string> paths;
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            paths.push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--help" || a == "-h") {
            o.action = TCliAction::Help;
            return true;
        } else if (a == "--version") {
            o.action = TCliAction::Version;
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
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--report" || a.rfind("--report=", 0) == 0) {
            if (a == "--report" && ++i >= argc) {
                error = "--report needs a file";
                return false;
            }
            o.reportPath = a == "--report" ? argv[i] : a.substr(9);
            if (o.reportPath.empty()) {
                error = "--report needs a file";
                return false;
            }
        } else if (a == "--checksums" || a.rfind("--checksums=", 0) == 0 || a == "--check" ||
                   a.rfind("--check=", 0) == 0) {
            const bool check = a.rfind("--check", 0) == 0 && a.rfind("--checksums", 0) != 0;
            const std::string name = check ? "--check" : "--checksums";
            std::string value;
            if (a == name) {
                if (++i >= argc) {
                    error = name + " needs a file";
                    return false;
                }
                value = argv[i];
            } else {
                value = a.substr(name.size() + 1);
            }
            if (value.empty()) {
                error = name + " needs a file";
                return false;
            }
            (check ? o.request.checkFile : o.request.checksumsPath) = AbsolutePath(value);
        } else if (a == "--resume") {
            o.request.resume = true;
        } else if (a == "--progress") {
            o.progress = TProgressMode::On;
        } else if (a == "--no-progress") {
            o.progress = TProgressMode::Off;
        } else {
            error = "unknown option " + a;
            return false;
        }
    }
    if (!o.request.checkFile.empty()) {
        if (o.request.resume) {
            error = "--check reads every file it lists; there is nothing to resume";
            return false;
        }
        if (!o.request.checksumsPath.empty() || o.request.deleteMode != DeleteMode::None) {
            error = "--check reads a tree against its checksums; it neither records nor deletes";
            return false;
        }
        if (paths.size() != 1 || paths[0].empty()) {
            error = "--check FILE expects one TARGET folder";
            return false;
        }
        o.request.targetPath = AbsolutePath(paths[0]);
        return true;
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
    return true;
}

bool CheckRunPaths(VerifyRequest &request, std::string &error)
{
    if (!request.checkFile.empty()) {
        const TKind target = KindOf(request.targetPath);
        if (target != TKind::Folder)
            error = "TARGET '" + request.targetPath + "' " +
                    (target == TKind::Missing ? "does not exist" : "is not a folder") +
                    "; --check reads the files its checksum file lists below a folder";
        return error.empty();
    }
    const TKind source = KindOf(request.sourcePath);
    const TKind target = KindOf(request.targetPath);
    const std::string sourceNamed = "SOURCE '" + request.sourcePath + "'";
    const std::string targetNamed = "TARGET '" + request.targetPath + "'";
    if (source == TKind::Missing)
        error = sourceNamed + " does not exist";
    else if (source == TKind::Other)
        error = sourceNamed + " is neither a file nor a folder";
    else if (target == TKind::Missing)
        error = targetNamed + " does not exist";
    else if (target == TKind::Other)
        error = targetNamed + " is neither a file nor a folder";
    else if (source != target)
        error = sourceNamed + " is " + KindWord(source) + " but " + targetNamed + " is " + KindWord(target) +
                "; give two folders or two files";
    else
        request.singleFile = source == TKind::File;
    return error.empty();
}

std::vector<std::string> MaskNotes(const VerifyRequest &request)
{
    std::vector<std::string> notes;
    if (request.singleFile || !request.checkFile.empty())
        return notes; // a single file is compared whatever the masks say
    for (const std::string &mask : ParseMasks(request.maskText)) {
        if (!mask.empty() && mask[0] != '*' && mask[0] != '?' && mask[0] != '/')
            notes.push_back("the mask '" + mask + "' matches no file: masks are matched against the whole path; '*/" +
                            mask + "' matches names");
    }
    return notes;
}

TCliWindow::TCliWindow(const CliOptions &options, int outFd, int errFd, int ttyFd)
    : m_options(options), m_outFd(outFd), m_errFd(errFd), m_ttyFd(ttyFd),
      m_progress(errFd, options.progress == TProgressMode::On ||
                            (options.progress == TProgressMode::Auto && IsTerminal(errFd)))
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
    m_progress.Erase();
    int error = 0;
    if (WriteAll(m_outFd, line + '\n', error))
        return;
    // Nothing more can be told; go on neither comparing nor deleting.
    m_outFailed = true;
    PutErr(std::string("quorvel-verify: cannot write to standard output (") + std::strerror(error) +
           "); the run stops");
    if (m_stopRun)
        m_stopRun();
}

void TCliWindow::PutErr(const std::string &line)
{
    // Messages and questions name the user's files: whatever a name holds,
    // one message is one line.
    PutShownErr(EscapeControls(line));
}

void TCliWindow::PutShownErr(const std::string &shown)
{
    m_progress.Erase();
    int error = 0;
    WriteAll(m_errFd, shown + '\n', error);
}

void TCliWindow::AppendRunLog(TLogKind kind, const std::string &line)
{
    m_printer->LogLine(kind, line);
}

void TCliWindow::AppendResultLine(const std::string &line)
{
    m_printer->LogLine(TLogKind::PairResult, line);
}

void TCliWindow::ShowTotals(std::int32_t, std::int32_t files, double totalBytes)
{
    m_progress.Totals(files, totalBytes);
    m_progress.Update(TCliProgress::TClock::now());
}

void TCliWindow::ShowCounts(std::int32_t, std::int32_t, std::int32_t, std::int32_t filesChecked, std::int32_t files)
{
    m_progress.Checked(filesChecked, files);
    m_progress.Update(TCliProgress::TClock::now());
}

void TCliWindow::ShowCurrentPair(const std::string &source, const std::string &)
{
    if (!source.empty())
        m_progress.Comparing();
}

void TCliWindow::StartOverallBar(std::int32_t, double totalBytes)
{
    m_runTotalBytes = totalBytes;
}

void TCliWindow::UpdateOverallBar(std::int32_t, double overallBytesDone)
{
    m_progress.RunBytes(overallBytesDone, m_runTotalBytes);
    m_progress.Update(TCliProgress::TClock::now());
}

void TCliWindow::StopProgressTimer()
{
    m_progress.Stop();
    m_gathered = true;
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

bool TCliWindow::Ask(const std::string &question)
{
    m_progress.Erase();
    int error = 0;
    if (m_options.yes) {
        PutErr(question + " yes");
        return true;
    }
    if (m_ttyFd < 0) {
        PutErr(question + " no (no terminal to ask on; --yes answers yes)");
        return false;
    }
    std::string answer;
    // On the terminal as on standard error: a name in the question cannot
    // break its line or move the cursor.
    if (!WriteAll(m_ttyFd, EscapeControls(question) + " [y/N] ", error) || !ReadLine(m_ttyFd, answer)) {
        // The end of the input, or a stop signal: no.
        WriteAll(m_ttyFd, "\n", error);
        return false;
    }
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
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

bool TCliWindow::AskStackedDelete(const std::string &question)
{
    return Ask("Confirm Delete: " + question);
}

void TCliWindow::ReportRow(const TReportRow &row)
{
    m_printer->Row(row);
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
    return m_outFailed ? 2 : status;
}

int CliExitStatus(bool stopped, int troubles, const VerifyCounters &c)
{
    if (stopped || troubles > 0)
        return 2;
    if (c.different > 0 || c.missing > 0 || c.filesChecked != c.files)
        return 1;
    return 0;
}
