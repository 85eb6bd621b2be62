#include "ShellDelete.h"

#include "MountTable.h"
#include "Paths.h"
#include "Trash.h"

#include <cerrno>
#include <cstdlib>
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
        if (st.st_dev != top.st_dev) {
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

// Deletes a path for good: a folder with everything in it, anything else
// (a link to a folder included) by unlinking the entry itself.
int DeletePermanently(const std::string &path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode))
        return ::unlink(path.c_str()) == 0 ? 0 : errno;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno;
    if (const int error = EmptyFolder(fd))
        return error;
    return ::rmdir(path.c_str()) == 0 ? 0 : errno;
}

// The root folder or a mount point: what the user would lose by deleting it
// for good is a whole volume.
bool IsVolumeRoot(const std::string &path, const std::vector<MountEntry> &mounts)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    if (!real)
        return false;
    const std::string resolved = real.get();
    return resolved == "/" || DrivePart(resolved, mounts) == resolved;
}

} // namespace

int ShellDelete(const std::string &batch, const PermanentDeleteQuestion &askPermanent)
{
    // Every path is taken as the entry it names: "link/" would otherwise
    // reach through the link to its folder.
    std::vector<std::string> paths = SplitBatch(batch);
    for (auto &p : paths)
        p = ExcludeTrailingSlash(AbsolutePath(p));
    // The result of each path, in batch order; the first failure is the
    // batch's result.
    std::vector<int> results(paths.size(), 0);
    std::vector<std::size_t> untrashable;
    const std::vector<MountEntry> mounts = ReadMountTable();
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (IsVolumeRoot(paths[i], mounts)) {
            results[i] = EBUSY; // neither trashed nor wiped
            continue;
        }
        const TrashOutcome t = MoveToTrash(paths[i], mounts);
        if (t.ok)
            continue;
        struct stat st;
        if (::lstat(paths[i].c_str(), &st) == 0)
            untrashable.push_back(i);
        else
            results[i] = t.error;
    }
    if (!untrashable.empty()) {
        const bool agreed = askPermanent && askPermanent(untrashable.size());
        for (std::size_t i : untrashable)
            results[i] = agreed ? DeletePermanently(paths[i]) : ECANCELED;
    }
    for (int r : results)
        if (r != 0)
            return r;
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
