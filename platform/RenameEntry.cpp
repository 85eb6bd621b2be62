#include "platform/RenameEntry.h"

#include "platform/Paths.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsPlainName(const std::string &name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos
        && name.find('\0') == std::string::npos;
}

} // namespace

int RenameEntry(const std::string &path, const std::string &newName)
{
    if (!IsPlainName(newName))
        return EINVAL;
    const std::string full = ExcludeTrailingSlash(path);
    const std::size_t slash = full.rfind('/');
    const std::string name = slash == std::string::npos ? full : full.substr(slash + 1);
    // "/" has no name in a folder: it is the root of everything.
    if (name.empty())
        return full.empty() ? ENOENT : EBUSY;
    if (!IsPlainName(name))
        return EINVAL;
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : full.substr(0, slash);
    // Both names are taken in one open folder, so the entry stays in the
    // folder it was found in whatever happens to the path meanwhile.
    const int fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int result = 0;
    struct stat st;
    if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        result = errno;
    else if (newName != name && ::renameat2(fd, name.c_str(), fd, newName.c_str(), RENAME_NOREPLACE) != 0)
        result = errno;
    ::close(fd);
    return result;
}
