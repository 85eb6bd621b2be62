#include "platform/ShellDelete.h"

#include "platform/DeleteEntries.h"
#include "platform/FileIdentity.h"
#include "platform/MountTable.h"
#include "platform/Paths.h"
#include "platform/Trash.h"

#include <cerrno>
#include <cstring>
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

// One path of a batch and what became of it.
struct Item {
    std::string path;     // absolute, as given
    int result = 0;
    std::string message;  // what went wrong, for the user
};

// Finds the entry a batch path names; 0 or the errno. The root folder is
// refused (EBUSY): what the user would lose by deleting it for good is a
// whole volume (other mount points the deletion refuses).
int Locate(const std::string &path, TDeleteEntry &entry)
{
    std::string folderPath;
    entry.path = path;
    if (!SplitLastName(path, folderPath, entry.name))
        return path == "/" ? EBUSY : EINVAL;
    if (const int error = entry.folder.OpenPath(folderPath))
        return error;
    return entry.folder.StatEntry(entry.name, entry.checked);
}

// Whether `now` is still the entry `seen` before the question: the same
// entry of the same kind and, for anything but a folder, unchanged.
bool StillTheEntry(const struct stat &now, const struct stat &seen)
{
    const bool same = now.st_dev == seen.st_dev && now.st_ino == seen.st_ino
        && (now.st_mode & S_IFMT) == (seen.st_mode & S_IFMT);
    return same && (S_ISDIR(now.st_mode) || IdentityFromStat(now) == IdentityFromStat(seen));
}

// What the tree's Delete checks of each path: that it names an entry, and,
// after the question, that the entry there is still the one asked about. A
// folder on the way is followed once, before the trash; the entry is then
// reached only through that open folder.
class TShellDeleteCaller : public TDeleteCaller
{
public:
    TShellDeleteCaller(std::vector<Item> &items, const PermanentDeleteQuestion &ask) : m_items(items), m_ask(ask) {}

    TEntryCheck Check(std::size_t index, bool afterQuestion, TDeleteEntry &entry) override
    {
        Item &item = m_items[index];
        if (!afterQuestion) {
            item.result = Locate(item.path, entry);
        } else {
            struct stat now;
            item.result = entry.folder.StatEntry(entry.name, now);
            if (!item.result && !StillTheEntry(now, entry.checked))
                item.result = ESTALE;
        }
        return item.result ? TEntryCheck::Keep : TEntryCheck::Go;
    }
    bool AskPermanent(std::size_t count) override { return m_ask && m_ask(count); }
    void Gone(std::size_t, const TDeleteEntry &, const struct stat &) override {}
    void Stayed(std::size_t index, const TDeleteEntry &, const TEntryStay &why) override
    {
        Item &item = m_items[index];
        item.result = why.error;
        item.message = why.message;
        if (why.reason == TEntryStay::ChangedWhileDeleting && !why.trashedAs.empty())
            item.message = "Cannot delete " + item.path + ", another entry took its place"
                + (why.restoredAs.empty() ? " and is in the trash as " + why.trashedAs
                                          : " and was put back as " + why.restoredAs);
    }

private:
    std::vector<Item> &m_items;
    const PermanentDeleteQuestion &m_ask;
};

} // namespace

int ShellDelete(const std::string &batch, const PermanentDeleteQuestion &askPermanent, std::string *firstMessage)
{
    TTrashSession trash(ReadMountTable());
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
    TShellDeleteCaller caller(items, askPermanent);
    DeleteEntries(items.size(), caller, trash);
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
