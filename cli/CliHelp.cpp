#include "cli/CliHelp.h"

#include <algorithm>
#include <cctype>

namespace {

// One text serves --help and the manual page.

const char kSynopsis[] = "quorvel-verify [OPTION]... SOURCE TARGET";
const char kCheckSynopsis[] = "quorvel-verify [OPTION]... --check FILE TARGET";

const char *const kDescription[] = {
    "Proves that TARGET is an exact copy of SOURCE: every file under the SOURCE "
    "folder (or the single SOURCE file) is compared byte by byte with the TARGET "
    "file of the same relative path. Files that exist only in TARGET are not "
    "looked at unless --target-only is given. SOURCE and TARGET must both be "
    "folders or both be files, and "
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
    {"--attributes[=LIST]",
     "for every pair whose bytes match, compare also the attributes named in "
     "LIST, separated by commas (default all): mtime (the modification time, "
     "as exactly as the coarser of the two file systems keeps it: FAT and "
     "exFAT two seconds), mode (the permission bits), owner (the owner and "
     "the group, named apart as owner and group), xattr (the user, security "
     "and trusted extended attributes that can be read) and acl (the POSIX "
     "access ACL). A difference gives a line "
     "'Attributes Differ - PATH (what)' after the pair's Files Match line, a "
     "total line, and the exit status 1; the pair still counts as matching. "
     "With a --delete, only the files whose attributes match their copy's "
     "are deleted"},
    {"--target-only",
     "after the comparison, walk TARGET as SOURCE was walked (the same masks, "
     "subfolder and hidden options) and give 'Target Only - PATH' for each "
     "file that has no SOURCE counterpart, a total line, and the exit status "
     "1 when there is any. Such files are never deleted. With --check, the "
     "files in TARGET that FILE does not list (FILE itself aside)"},
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
     "as no regular file (skipped, with what it is as its note), with "
     "--attributes one per match whose attributes differ (attributes-differ, "
     "with the attributes as its note), with --target-only one per TARGET "
     "file without a counterpart (target-only, with no source and the "
     "TARGET file's size) and one per "
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
     "does not list are not looked at unless --target-only is given"},
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
     "standard output is not a terminal (a file, a pipe), the lines of pair "
     "results are written a buffer at a time: within a tenth of a second while "
     "the comparison moves on, and always before any other line, message or "
     "question that follows them. When "
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
     "\"attributes\": with --attributes, a matching pair whose attributes differ, "
     "with \"result\" attributes-differ, the fields of its pair and \"note\" "
     "(what differs, as in the log). \"target-only\": with --target-only, a "
     "TARGET file without a SOURCE counterpart, with \"result\" target-only, "
     "\"path\" (relative to TARGET), \"target\" and \"size\". "
     "\"log\": a line of the run log, with \"kind\" (event, note, summary or "
     "deletion-total), \"time\" (hh:mm:ss) and \"text\". \"summary\": the last "
     "line, with the totals \"folders\", \"files\", \"bytes\", \"checked\", "
     "\"matching\", \"missing\", \"different\" and \"unreadable\", "
     "\"attributes_differ\" with --attributes, \"target_only\" with "
     "--target-only, \"files_deleted\" and \"folders_deleted\" when a deletion ran, "
     "\"resumed\" and \"resumed_bytes\" (the pairs --resume took over and their "
     "bytes) when there were any, "
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
     "(a note on standard error says so); 1 when some differ or are missing, "
     "or (with --attributes, --target-only) some attributes differ or some "
     "files are only in TARGET; 2 "
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
    // After `first`, a blank comes before the first word too.
    bool lineEmpty = first.empty();
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
