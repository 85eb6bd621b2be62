#include "platform/DeleteEntries.h"

#include "platform/FileIdentity.h"
#include "platform/MountTable.h"
#include "platform/Trash.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

// A folder that is a mount point, or has a volume mounted anywhere inside
// it, is neither moved nor wiped: the volume would go with it. The table is
// read at the moment of asking. 0, or EBUSY with the message.
int RefuseMounts(const TDeleteEntry &entry, std::string &message)
{
    if (!S_ISDIR(entry.checked.st_mode))
        return 0;
    struct stat parent;
    if (::fstat(entry.folder.Fd(), &parent) != 0)
        return errno;
    // Where the folder is now, as the kernel knows it; the path given when
    // it does not.
    const std::string where = entry.folder.CurrentPath();
    const std::string full = where.empty() ? entry.path : (where == "/" ? std::string() : where) + '/' + entry.name;
    const std::vector<MountEntry> mounts = ReadMountTable();
    if (parent.st_dev != entry.checked.st_dev || (!where.empty() && DrivePart(full, mounts) == full)) {
        message = "Cannot delete " + full + ", a mount point";
        return EBUSY;
    }
    const std::vector<std::string> below = MountsBelow(full, mounts);
    if (below.empty())
        return 0;
    message = "Cannot delete " + full + ", a volume is mounted inside it at " + below.front();
    return EBUSY;
}

// What went to the trash is what was checked right before: the same entry
// (device and inode, not following a link) and, for anything but a folder,
// unwritten since. A file renamed onto the name in between (an editor
// saving by rename does) is not. A folder's own times move with the
// entries in it, and with the move.
bool MovedAsChecked(const TrashOutcome &t, const struct stat &checked)
{
    const TFileIdentity was = IdentityFromStat(checked);
    if (t.trashed.device != was.device || t.trashed.inode != was.inode)
        return false;
    if (S_ISDIR(checked.st_mode))
        return t.trashedIsFolder;
    return t.trashed.size == was.size && t.trashed.mtimeSec == was.mtimeSec && t.trashed.mtimeNsec == was.mtimeNsec;
}

// Removes everything below the open folder `fd` (which it closes), without
// following a link and without entering another file system: a mount inside
// the folder is left alone and its mount point reported as EBUSY. Folders are
// held open one per level, so the depth is bounded by the open-file limit;
// beyond it the error is reported and nothing above is removed.
int EmptyFolder(int fd)
{
    struct Level {
        DIR *dir;
        std::string name; // of this folder inside the level above
    };
    struct stat top;
    if (::fstat(fd, &top) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    DIR *root = ::fdopendir(fd);
    if (!root) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    int firstError = 0;
    const auto fail = [&firstError](int error) {
        if (!firstError)
            firstError = error;
    };
    std::vector<Level> stack {{root, {}}};
    while (!stack.empty()) {
        DIR *dir = stack.back().dir;
        const int dfd = ::dirfd(dir);
        errno = 0;
        const dirent *e = ::readdir(dir);
        if (!e) {
            if (errno)
                fail(errno);
            const std::string name = stack.back().name;
            ::closedir(dir);
            stack.pop_back();
            if (!stack.empty() && ::unlinkat(::dirfd(stack.back().dir), name.c_str(), AT_REMOVEDIR) != 0)
                fail(errno);
            continue;
        }
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        if (::fstatat(dfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            fail(errno);
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            if (::unlinkat(dfd, name.c_str(), 0) != 0)
                fail(errno);
            continue;
        }
        // Another volume, or a folder of this one mounted here a second time
        // (a bind mount shares the device): neither is emptied.
        struct statx sx {};
        const bool mountRoot = ::statx(dfd, name.c_str(), AT_SYMLINK_NOFOLLOW, 0, &sx) == 0
            && (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
        if (st.st_dev != top.st_dev || mountRoot) {
            fail(EBUSY);
            continue;
        }
        const int sub = ::openat(dfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        DIR *subDir = sub >= 0 ? ::fdopendir(sub) : nullptr;
        if (!subDir) {
            fail(errno);
            if (sub >= 0)
                ::close(sub);
            continue;
        }
        stack.push_back({subDir, name});
    }
    return firstError;
}

// Deletes the entry for good: a folder with everything in it, anything else
// (a link to a folder included) by unlinking the entry itself, each only
// while it is the entry checked (ESTALE otherwise). `after` as for
// TFolderHandle::RemoveProvenFile().
int DeletePermanently(const TDeleteEntry &entry, struct stat &after)
{
    if (!S_ISDIR(entry.checked.st_mode))
        return entry.folder.RemoveProvenFile(entry.name, TFolderHandle::SameEntryUnwritten, &entry.checked, &after);
    const int fd = ::openat(entry.folder.Fd(), entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat opened;
    if (::fstat(fd, &opened) != 0 || opened.st_dev != entry.checked.st_dev || opened.st_ino != entry.checked.st_ino) {
        ::close(fd);
        return ESTALE;
    }
    if (const int error = EmptyFolder(fd))
        return error;
    return entry.folder.RemoveEmptyFolder(entry.name);
}

TEntryStay Failure(int error, std::string message = {})
{
    TEntryStay stay;
    stay.error = error;
    stay.message = std::move(message);
    return stay;
}

TEntryStay Changed()
{
    TEntryStay stay;
    stay.reason = TEntryStay::ChangedWhileDeleting;
    stay.error = ESTALE;
    return stay;
}

// The caller's check of the moment, then the refusal of mounts: Go, or
// why not (an entry refused here is reported as staying).
TEntryCheck Ready(TDeleteCaller &caller, std::size_t index, bool afterQuestion, TDeleteEntry &entry)
{
    const TEntryCheck check = caller.Check(index, afterQuestion, entry);
    if (check != TEntryCheck::Go)
        return check;
    std::string refusal;
    if (const int error = RefuseMounts(entry, refusal)) {
        caller.Stayed(index, entry, Failure(error, refusal));
        return TEntryCheck::Keep;
    }
    return TEntryCheck::Go;
}

} // namespace

bool DeleteEntries(std::size_t count, TDeleteCaller &caller, TTrashSession &trash)
{
    // Those that could not go to the trash, as their check left them.
    std::vector<std::pair<std::size_t, TDeleteEntry>> untrashable;
    for (std::size_t i = 0; i < count; ++i) {
        TDeleteEntry entry;
        if (const TEntryCheck check = Ready(caller, i, false, entry); check != TEntryCheck::Go) {
            if (check == TEntryCheck::Stop)
                return false;
            continue;
        }
        const TrashOutcome t = trash.MoveAt(entry.folder, entry.name, entry.path);
        if (t.ok) {
            if (!MovedAsChecked(t, entry.checked)) {
                TEntryStay stay = Changed();
                stay.trashedAs = t.trashedAs;
                if (const int error = trash.PutBack(t, entry.folder, entry.name, stay.restoredAs)) {
                    stay.error = error;
                    stay.restoredAs.clear();
                }
                caller.Stayed(i, entry, stay);
                continue;
            }
            struct stat after {};
            if (::lstat(t.trashedAs.c_str(), &after) != 0)
                after = {};
            caller.Gone(i, entry, after);
            continue;
        }
        // A volume in the way is no reason to ask for a permanent deletion:
        // nothing may delete that entry either.
        struct stat still;
        if (t.error != EBUSY && entry.folder.StatEntry(entry.name, still) == 0)
            untrashable.emplace_back(i, std::move(entry));
        else
            caller.Stayed(i, entry, Failure(t.error, t.message));
    }
    if (untrashable.empty())
        return true;
    if (!caller.AskPermanent(untrashable.size())) {
        TEntryStay declined = Failure(ECANCELED);
        declined.reason = TEntryStay::Declined;
        for (const auto &[i, entry] : untrashable)
            caller.Stayed(i, entry, declined);
        return true;
    }
    for (auto &[i, entry] : untrashable) {
        // The question may have waited while something was mounted.
        if (const TEntryCheck check = Ready(caller, i, true, entry); check != TEntryCheck::Go) {
            if (check == TEntryCheck::Stop)
                return false;
            continue;
        }
        struct stat after {};
        if (const int error = DeletePermanently(entry, after))
            caller.Stayed(i, entry, error == ESTALE ? Changed() : Failure(error));
        else
            caller.Gone(i, entry, after);
    }
    return true;
}
