#include "cli/CliOptions.h"

#include "engine/FolderWalk.h"
#include "platform/EntryProbe.h"
#include "platform/FileAttributes.h"
#include "platform/Paths.h"
#include "platform/QvlVersion.h"

#include <algorithm>

namespace {

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
        } else if (a == "--attributes" || a.rfind("--attributes=", 0) == 0) {
            o.request.compareAttributes = abAll;
            if (a != "--attributes" && !ParseAttributeList(a.substr(13), o.request.compareAttributes, error)) {
                error = "--attributes: " + error + " (mtime, mode, owner, xattr or acl)";
                return false;
            }
        } else if (a == "--target-only") {
            o.request.listTargetOnly = true;
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
        if (o.request.compareAttributes) {
            error = "--check has no SOURCE to compare attributes with";
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
