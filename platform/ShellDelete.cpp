#include "platform/ShellDelete.h"

#include "platform/FileIdentity.h"
#include "platform/FolderHandle.h"
#include "platform/MountTable.h"
#include "platform/Paths.h"
#include "platform/Trash.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> SplitBatch(const std::string &batch)
{
    std::vector<std::string> paths;
    std::size_t i = 0;
    while (i < batch.size()) {
        std::size_t end = batch.find('\0', i);
        if (end == std::string::npos)
            end = batch.size();
        if (end == i)
            break; // the closing empty item
        paths.push_back(batch.substr(i, end - i));
        i = end + 1;
    }
    return paths;
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

// Deletes the entry `name` of `folder` for good: a folder with everything in
// it, anything else (a link to a folder included) by unlinking the entry
// itself. `seen` is the entry as it was before the question: if something
// else stands there by now, nothing is deleted (ESTALE).
int DeletePermanently(const TFolderHandle &folder, const std::string &name, const struct stat &seen)
{
    struct stat st;
    if (const int error = folder.StatEntry(name, st))
        return error;
    const bool same = st.st_dev == seen.st_dev && st.st_ino == seen.st_ino
        && (st.st_mode & S_IFMT) == (seen.st_mode & S_IFMT);
    if (!same || (!S_ISDIR(st.st_mode) && !(IdentityFromStat(st) == IdentityFromStat(seen))))
        return ESTALE;
    if (!S_ISDIR(st.st_mode)) {
        // Unlinked only when what goes is still the entry seen before the
        // question: a file swapped in under the name meanwhile stays.
        return folder.RemoveProvenFile(name, TFolderHandle::SameEntryUnwritten, &seen);
    }
    const int fd = ::openat(folder.Fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat opened;
    if (::fstat(fd, &opened) != 0 || opened.st_dev != seen.st_dev || opened.st_ino != seen.st_ino) {
        ::close(fd);
        return ESTALE;
    }
    if (const int error = EmptyFolder(fd))
        return error;
    return folder.RemoveEmptyFolder(name);
}

// One path of a batch, reached through its folder.
struct Item {
    std::string path;     // absolute, as given
    TFolderHandle folder; // holds the entry
    std::string name;
    struct stat seen {};  // the entry when it was first looked at
    int result = 0;
    std::string message;  // what went wrong, for the user
};

// A folder with a volume mounted anywhere inside it is never moved nor
// wiped: the volume would go with it. The table is read at the moment of
// asking. 0, or EBUSY with the message naming the mount.
int RefuseMountsBelow(Item &item)
{
    if (!S_ISDIR(item.seen.st_mode))
        return 0;
    const std::string where = item.folder.CurrentPath();
    const std::string full = where.empty() ? item.path : (where == "/" ? std::string() : where) + '/' + item.name;
    const std::vector<std::string> below = MountsBelow(full, ReadMountTable());
    if (below.empty())
        return 0;
    item.message = "Cannot delete " + full + ", a volume is mounted inside it at " + below.front();
    return EBUSY;
}

// Finds the entry a batch path names; 0 or the errno. The root folder and
// mount points are refused (EBUSY): what the user would lose by deleting one
// for good is a whole volume.
int Locate(Item &item, const std::vector<MountEntry> &mounts)
{
    std::string folderPath;
    if (!SplitLastName(item.path, folderPath, item.name))
        return item.path == "/" ? EBUSY : EINVAL;
    if (const int error = item.folder.OpenPath(folderPath))
        return error;
    if (const int error = item.folder.StatEntry(item.name, item.seen))
        return error;
    if (S_ISDIR(item.seen.st_mode)) {
        struct stat parent;
        if (::fstat(item.folder.Fd(), &parent) != 0)
            return errno;
        const std::string where = item.folder.CurrentPath();
        const std::string full = (where == "/" ? std::string() : where) + '/' + item.name;
        if (parent.st_dev != item.seen.st_dev || (!where.empty() && DrivePart(full, mounts) == full)) {
            item.message = "Cannot delete " + full + ", a mount point";
            return EBUSY;
        }
        return RefuseMountsBelow(item);
    }
    return 0;
}

} // namespace

int ShellDelete(const std::string &batch, const PermanentDeleteQuestion &askPermanent, std::string *firstMessage)
{
    const std::vector<MountEntry> mounts = ReadMountTable();
    TTrashSession trash(mounts);
    // The result of each path, in batch order; the first failure is the
    // batch's result.
    std::vector<Item> items;
    for (const std::string &p : SplitBatch(batch)) {
        Item item;
        // Every path is taken as the entry it names: "link/" would otherwise
        // reach through the link to its folder.
        item.path = ExcludeTrailingSlash(AbsolutePath(p));
        items.push_back(std::move(item));
    }
    std::vector<Item *> untrashable;
    for (Item &item : items) {
        if ((item.result = Locate(item, mounts)))
            continue;
        const TrashOutcome t = trash.MoveAt(item.folder, item.name, item.path);
        if (t.ok)
            continue;
        struct stat st;
        // A volume inside a folder is no reason to ask for a permanent
        // deletion: nothing may delete that folder.
        if (t.error != EBUSY && item.folder.StatEntry(item.name, st) == 0) {
            untrashable.push_back(&item);
        } else {
            item.result = t.error;
            item.message = t.message;
        }
    }
    if (!untrashable.empty()) {
        const bool agreed = askPermanent && askPermanent(untrashable.size());
        for (Item *item : untrashable) {
            // The question may have waited while something was mounted.
            item->result = !agreed ? ECANCELED : RefuseMountsBelow(*item);
            if (agreed && !item->result)
                item->result = DeletePermanently(item->folder, item->name, item->seen);
        }
    }
    for (const Item &item : items) {
        if (item.result != 0) {
            if (firstMessage)
                *firstMessage = !item.message.empty() ? item.message
                                                      : "Cannot delete " + item.path + ": " + std::strerror(item.result);
            return item.result;
        }
    }
    return 0;
}
bool IsEmptyFolder(const std::string &path)
{
    // Without its trailing slash, a link to a folder is looked at as a link.
    const std::string entry = ExcludeTrailingSlash(path);
    const int fd = ::open(entry.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    bool empty = true;
    errno = 0;
    while (const dirent *e = ::readdir(dir)) {
        const std::string_view name = e->d_name;
        if (name != "." && name != "..") {
            empty = false;
            break;
        }
    }
    // A listing that broke off proves nothing.
    if (empty && errno != 0)
        empty = false;
    ::closedir(dir);
    return empty;
}
