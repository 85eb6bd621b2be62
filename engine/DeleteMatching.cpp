#include "engine/DeleteMatching.h"

#include "platform/DeleteEntries.h"
#include "platform/FileIdentity.h"
#include "platform/FileReader.h"
#include "platform/FolderHandle.h"
#include "platform/Paths.h"
#include "platform/StackedLayers.h"
#include "engine/RunContext.h"
#include "platform/Trash.h"
#include "engine/VerifyWindow.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>
#include <sys/stat.h>

namespace {

// Why a file was kept.
const char kFileChanged[] = "the file changed after it was compared";
const char kOtherChanged[] = "the other copy is gone or changed";
const char kOtherDeleted[] = "the other copy is one of the files being deleted";
const char kFolderReplaced[] = "a folder on its path is gone or was replaced";
const char kNotTrashed[] = "it could not go to the trash and was not deleted permanently";
const char kChangedWhileDeleting[] = "it changed while it was being deleted";
const char kIsLink[] = "it is a link";

using TInodeKey = std::pair<std::uint64_t, std::uint64_t>; // device, inode

TInodeKey KeyOf(const TFileIdentity &id)
{
    return {id.device, id.inode};
}

// A stop ends the deletion only when the user did not ask to delete the
// matches found so far.
bool StopDeleting(TRunContext &w)
{
    return w.Poll() && !w.Window().DeleteOnCancelChecked();
}

// What the deletion of one side knows while it runs.
struct TDeleteSide {
    TRunContext &w;
    std::string sideWord;
    // The folder the candidates' relative paths start from, held open: the
    // side root, or a single file's folder.
    std::string base;
    TFolderHandle root;
    int rootError = 0;
    // Files with other names that this deletion itself moved or unlinked
    // before: their change time moved with it. Compared identity -> now.
    std::map<TInodeKey, std::pair<TFileIdentity, TFileIdentity>> touched;
    // File systems stacked on folders of this machine, read as the deletion
    // goes; and the user's answer about those that cannot be told apart
    // from their layers (asked once, at the first file it concerns).
    TStackedLayers stacks;
    int undecidedAnswer = -1;
    std::string undecidedReason;
    std::size_t deleted = 0;

    explicit TDeleteSide(TRunContext &run) : w(run) {}
};

// Reaches the folder that holds a candidate below the side's open root,
// never through a link; false when it cannot be reached so.
bool Reach(const TDeleteSide &side, const std::string &path, TFolderHandle &folder, std::string &name)
{
    if (side.rootError)
        return false;
    const std::string relative = RelativeTo(path, side.base);
    const std::size_t slash = relative.rfind('/');
    name = slash == std::string::npos ? relative : relative.substr(slash + 1);
    if (name.empty())
        return false;
    return folder.OpenBelow(side.root, slash == std::string::npos ? std::string() : relative.substr(0, slash)) == 0;
}

// Decides, right before a file goes, whether it may: the file is still the
// one compared, and its copy on the other side still is what proved it.
// Returns the reason to keep it, or nullptr. `entry` gets the file's own
// stat.
const char *Objection(const TDeleteSide &side, const TDeleteCandidate &c, const TFolderHandle &folder,
                      const std::string &name, struct stat &entry)
{
    if (folder.StatEntry(name, entry) != 0)
        return kFileChanged;
    // A link is compared by what it leads to and deleted as a link.
    struct stat content = entry;
    if (S_ISLNK(entry.st_mode) && folder.StatEntry(name, content, true) != 0)
        return kFileChanged;
    // A single file chosen through a link: the file proven is the link's
    // target, which stays; trashing the link would free nothing and would
    // be counted as the file deleted.
    if (S_ISLNK(entry.st_mode) && side.w.state.request.singleFile)
        return kIsLink;
    if (!S_ISREG(content.st_mode))
        return kFileChanged;
    const TFileIdentity now = IdentityFromStat(content);
    if (!(now == c.compared)) {
        const auto t = side.touched.find(KeyOf(now));
        if (t == side.touched.end() || !(t->second.first == c.compared && t->second.second == now))
            return kFileChanged;
    }
    if (c.copyOnList)
        return kOtherDeleted;
    // The other copy is looked up by its path each time, never through a
    // descriptor held from before: a volume unmounted meanwhile must count
    // as gone, and does.
    TFileIdentity kept;
    if (!IdentityOf(c.keptPath, kept) || !(kept == c.keptCompared))
        return kOtherChanged;
    return nullptr;
}

// A file system stacked on folders of this machine can show the very file
// to delete as its "copy": device and inode cannot tell. Returns the reason
// to keep the file, or an empty text. Where the layers cannot be told, the
// user is asked once, at the first file it concerns.
std::string StackedObjection(TDeleteSide &side, const TDeleteCandidate &c, const TFolderHandle &folder)
{
    if (!side.stacks.AnyStacked(c.compared.device, c.keptCompared.device))
        return {};
    std::string keptFolder, keptName;
    TFolderHandle kept;
    if (!SplitLastName(c.keptPath, keptFolder, keptName) || kept.OpenPath(keptFolder) != 0)
        return kOtherChanged;
    const TStackedAnswer a = side.stacks.Relation(c.compared.device, folder.Fd(), c.keptCompared.device, kept.Fd());
    switch (a.verdict) {
    case TStackedVerdict::Separate:
        return {};
    case TStackedVerdict::SameFile:
        return "the other copy is the same file, seen through " + a.fileSystem;
    case TStackedVerdict::Undecided:
        if (side.undecidedAnswer < 0)
            side.undecidedAnswer = side.w.Window().AskStackedDelete(StackedDeleteQuestion(a.fileSystem)) ? 1 : 0;
        if (side.undecidedAnswer)
            return {};
        return "it cannot be told whether the other copy is the same file (" + a.fileSystem + ")";
    }
    return {};
}

// After this deletion moved or unlinked a file that has other names too:
// remembers the change time it gave the file, so that its other names on
// the list are not taken for changed.
void NoteTouched(TDeleteSide &side, const TDeleteCandidate &c, const struct stat &entry, const struct stat &after)
{
    if (!S_ISREG(entry.st_mode) || entry.st_nlink < 2 || after.st_ino == 0)
        return;
    const TFileIdentity now = IdentityFromStat(after);
    auto [it, fresh] = side.touched.try_emplace(KeyOf(now), c.compared, now);
    if (!fresh)
        it->second.second = now;
}

// The report's row for a candidate: Source and Target as in the pair.
void Report(TDeleteSide &side, const TDeleteCandidate &c, TReportResult result, const std::string &note = {})
{
    const bool sourceSide = side.w.state.request.deleteMode == DeleteMode::Source;
    side.w.Window().ReportRow({result, sourceSide ? c.path : c.keptPath, sourceSide ? c.keptPath : c.path,
                               std::int64_t(c.compared.size), note});
}

void Keep(TDeleteSide &side, const std::string &why, const TDeleteCandidate &c)
{
    side.w.NoteTrouble();
    side.w.Log(NotDeletedLine(why, c.path));
    Report(side, c, TReportResult::NotDeleted, why);
}

void LogStopped(TDeleteSide &side)
{
    side.w.Log("Deleting stopped, " + std::to_string(side.deleted) + " matching " + side.sideWord
               + " files deleted.");
}

// Before each file: the stop request, then the checks of the moment, then
// the test seam. Keep when the file must stay (logged); Stop when a stop
// request ends the deletion (logged too).
TEntryCheck NextStep(TDeleteSide &side, const TDeleteCandidate &c, TFolderHandle &folder, std::string &name,
                        struct stat &entry)
{
    if (StopDeleting(side.w)) {
        LogStopped(side);
        return TEntryCheck::Stop;
    }
    if (!Reach(side, c.path, folder, name)) {
        Keep(side, kFolderReplaced, c);
        return TEntryCheck::Keep;
    }
    if (const char *why = Objection(side, c, folder, name, entry)) {
        Keep(side, why, c);
        return TEntryCheck::Keep;
    }
    if (const std::string why = StackedObjection(side, c, folder); !why.empty()) {
        Keep(side, why, c);
        return TEntryCheck::Keep;
    }
    if (side.w.beforeDeleting)
        side.w.beforeDeleting(c.path);
    return TEntryCheck::Go;
}

void Deleted(TDeleteSide &side, const TDeleteCandidate &c)
{
    ++side.deleted;
    Report(side, c, TReportResult::Deleted);
}

// The verify's part in deleting a batch: the checks of the moment before
// each file goes, and the log and report lines of what went and what stayed.
class TMatchingFiles : public TDeleteCaller
{
public:
    TMatchingFiles(TDeleteSide &side, const TDeleteList &list) : m_side(side), m_list(list) {}

    // The errno of the first failure, ECANCELED when the question was
    // declined, else 0.
    int Result() const { return m_error ? m_error : m_declined ? ECANCELED : 0; }

    TEntryCheck Check(std::size_t index, bool, TDeleteEntry &entry) override
    {
        const TDeleteCandidate &c = Candidate(index);
        // The question may have waited for hours: everything is checked
        // again, the folders reached again.
        entry.path = c.path;
        return NextStep(m_side, c, entry.folder, entry.name, entry.checked);
    }
    bool AskPermanent(std::size_t count) override { return m_side.w.Window().AskPermanentDelete(count); }
    void Gone(std::size_t index, const TDeleteEntry &entry, const struct stat &after) override
    {
        const TDeleteCandidate &c = Candidate(index);
        Deleted(m_side, c);
        NoteTouched(m_side, c, entry.checked, after);
    }
    void Stayed(std::size_t index, const TDeleteEntry &entry, const TEntryStay &why) override
    {
        const TDeleteCandidate &c = Candidate(index);
        switch (why.reason) {
        case TEntryStay::Declined:
            m_declined = true;
            Keep(m_side, kNotTrashed, c);
            return;
        case TEntryStay::ChangedWhileDeleting:
            Keep(m_side, kChangedWhileDeleting, c);
            // A file that went to the trash although it was not the one
            // checked went back where it was.
            if (why.trashedAs.empty())
                return;
            if (why.restoredAs.empty())
                m_side.w.Log("Could not move it back from the trash (" + ErrorText(why.error) + ") - " + why.trashedAs);
            else if (why.restoredAs != entry.name)
                m_side.w.Log("Moved back from the trash as " + why.restoredAs + " - " + c.path);
            return;
        case TEntryStay::Failed:
            Keep(m_side, ErrorText(why.error), c);
            if (!m_error)
                m_error = why.error;
            return;
        }
    }

private:
    // Entry `index` made whole; one at a time, so the list stays compact.
    const TDeleteCandidate &Candidate(std::size_t index)
    {
        if (index != m_madeIndex) {
            m_made = m_list.At(index, m_side.w.state);
            m_madeIndex = index;
        }
        return m_made;
    }

    TDeleteSide &m_side;
    const TDeleteList &m_list;
    TDeleteCandidate m_made;
    std::size_t m_madeIndex = SIZE_MAX;
    int m_error = 0;
    bool m_declined = false;
};

// Moves the list's files to the trash, one file at a time, each checked at the
// moment it goes and checked again in the trash; what cannot go to the
// trash is deleted for good after one question, each checked again after
// it. Every file that stays is named in the log with the reason. Returns 0,
// the errno of the first failure (ECANCELED when the question was
// declined), or -1 when a stop ended it.
int DeleteFiles(TDeleteSide &side, const TDeleteList &list)
{
    TTrashSession trash;
    TMatchingFiles files(side, list);
    if (!DeleteEntries(list.size(), files, trash))
        return -1;
    return files.Result();
}

// Removes the side's folders that are empty now, deepest first, the side
// root last; only ever an empty folder, only ever through its open parent.
// False when a stop ended it.
bool RemoveEmptiedFolders(TDeleteSide &side, int &removed)
{
    TRunContext &w = side.w;
    std::vector<std::string> relatives;
    for (const std::string &f : w.state.folderList)
        relatives.push_back(RelativeTo(f, w.state.request.sourcePath));
    // In byte order a folder stands after its parent; going from the end, a
    // folder comes before its parent, which may be empty once it is gone.
    std::sort(relatives.begin(), relatives.end());
    const auto removeOne = [&](const TFolderHandle &parent, const std::string &name) {
        const int error = parent.RemoveEmptyFolder(name);
        // Not an empty folder (any more, or it never was): it stays, as it
        // should.
        const bool notEmpty = error == ENOTEMPTY || error == EEXIST || error == ENOTDIR || error == ENOENT;
        if (!error) {
            ++removed;
        } else if (!notEmpty) {
            w.NoteTrouble();
            w.Log("Some empty folders could not be deleted.");
        }
    };
    for (auto it = relatives.rbegin(); it != relatives.rend(); ++it) {
        if (StopDeleting(w))
            return false;
        if (w.beforeRemovingFolder)
            w.beforeRemovingFolder(*it);
        TFolderHandle parent;
        std::string name;
        if (Reach(side, IncludeTrailingSlash(side.base) + *it, parent, name))
            removeOne(parent, name);
    }
    if (StopDeleting(w))
        return false;
    if (w.beforeRemovingFolder)
        w.beforeRemovingFolder(std::string());
    // The root itself, from its parent, when the entry there is still the
    // folder the deletion worked in (not a link to it, not another folder).
    std::string parentPath, name;
    TFolderHandle parent;
    struct stat there, held;
    if (!side.rootError && SplitLastName(ExcludeTrailingSlash(side.base), parentPath, name)
        && parent.OpenPath(parentPath) == 0 && parent.StatEntry(name, there) == 0 && S_ISDIR(there.st_mode)
        && ::fstat(side.root.Fd(), &held) == 0 && held.st_dev == there.st_dev && held.st_ino == there.st_ino)
        removeOne(parent, name);
    return true;
}

} // namespace

std::string StackedDeleteQuestion(const std::string &fileSystem)
{
    return "The matching files or their copies are on " + fileSystem
        + ", a file system that can show the files of other folders under names of its own. Quorvel cannot tell"
          " whether a file there and its copy are one file. Delete the matching files anyway?";
}

std::string NotDeletedLine(const std::string &why, const std::string &path)
{
    return "Not deleted, " + why + " - " + path;
}

void DeleteMatching(TRunContext &w)
{
    const bool sourceSide = w.state.request.deleteMode == DeleteMode::Source;
    TDeleteSide side(w);
    side.sideWord = sourceSide ? "source" : "target";
    const std::string sideRoot = sourceSide ? w.state.request.sourcePath : w.state.request.targetPath;

    const TDeleteList &list = w.state.deleteList;
    w.state.deleteList.OrderForDeletion(w.state);
    if (StopDeleting(w))
        return;

    if (w.state.request.singleFile) {
        std::string name;
        if (!SplitLastName(ExcludeTrailingSlash(sideRoot), side.base, name))
            side.base = sideRoot;
    } else {
        side.base = sideRoot;
    }
    side.rootError = side.root.OpenPath(side.base);

    if (!list.empty()) {
        const int rc = DeleteFiles(side, list);
        if (rc < 0)
            return;
        if (rc) {
            w.NoteTrouble();
            w.Window().ShowMessage("File Delete Failed", std::to_string(rc) + " (" + ErrorText(rc) + ")",
                                   TMessageIcon::Error);
        }
    }
    // What is gone, not what was meant to go: the files kept are each named
    // in the log above.
    w.state.counters.filesDeleted = std::int32_t(side.deleted);
    w.Log("Total number of matching " + side.sideWord + " files deleted = " + std::to_string(side.deleted),
          TLogKind::DeletionTotal);

    // A single-file run's side root is a file: no folder to remove.
    int removed = 0;
    if (!w.state.request.singleFile && !RemoveEmptiedFolders(side, removed))
        return;
    w.state.counters.foldersDeleted = removed;
    w.Log("Total number of empty " + side.sideWord + " folders deleted = " + std::to_string(removed),
          TLogKind::DeletionTotal);
}
