#include "platform/FolderSize.h"

#include <set>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder open for listing, closed with the object.
class TOpenFolder
{
public:
    explicit TOpenFolder(int fd) : m_dir(fd >= 0 ? ::fdopendir(fd) : nullptr)
    {
        if (fd >= 0 && !m_dir)
            ::close(fd);
    }
    ~TOpenFolder()
    {
        if (m_dir)
            ::closedir(m_dir);
    }
    TOpenFolder(TOpenFolder &&other) noexcept : m_dir(std::exchange(other.m_dir, nullptr)) {}
    TOpenFolder(const TOpenFolder &) = delete;
    TOpenFolder &operator=(const TOpenFolder &) = delete;
    TOpenFolder &operator=(TOpenFolder &&) = delete;

    DIR *Dir() const { return m_dir; }

private:
    DIR *m_dir;
};

int OpenFolderAt(int dirFd, const char *name)
{
    return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

} // namespace

bool CountFolderContents(const std::string &folder, TFolderTotals &totals, const std::atomic<bool> &stop,
                         const std::function<void(const TFolderTotals &)> &progress)
{
    totals = {};
    struct stat top;
    std::vector<TOpenFolder> stack;
    stack.emplace_back(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!stack.back().Dir() || ::fstat(::dirfd(stack.back().Dir()), &top) != 0) {
        totals.unreadable = 1;
        return false;
    }
    // Files with more than one name are counted at their first name only.
    std::set<std::pair<dev_t, ino_t>> linked;
    while (!stack.empty()) {
        if (stop.load(std::memory_order_relaxed))
            return false;
        DIR *dir = stack.back().Dir();
        const dirent *e = ::readdir(dir);
        if (!e) {
            stack.pop_back();
            continue;
        }
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        const int dirFd = ::dirfd(dir);
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone since it was listed
        if (S_ISREG(st.st_mode)) {
            if (st.st_nlink < 2 || linked.emplace(st.st_dev, st.st_ino).second) {
                ++totals.files;
                totals.bytes += static_cast<std::uint64_t>(st.st_size);
            }
        } else if (!S_ISDIR(st.st_mode)) {
            ++totals.others;
        } else {
            ++totals.folders;
            if (st.st_dev == top.st_dev) {
                TOpenFolder sub(OpenFolderAt(dirFd, name.c_str()));
                if (sub.Dir())
                    stack.push_back(std::move(sub));
                else
                    ++totals.unreadable;
            }
        }
        if (progress)
            progress(totals);
    }
    return true;
}
