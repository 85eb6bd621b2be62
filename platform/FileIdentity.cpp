#include "platform/FileIdentity.h"

#include <fcntl.h>
#include <sys/stat.h>

TFileIdentity IdentityFromStat(const struct stat &st)
{
    TFileIdentity id;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    id.size = static_cast<std::uint64_t>(st.st_size);
    id.mtimeSec = st.st_mtim.tv_sec;
    id.mtimeNsec = st.st_mtim.tv_nsec;
    id.ctimeSec = st.st_ctim.tv_sec;
    id.ctimeNsec = st.st_ctim.tv_nsec;
    return id;
}

bool IdentityOf(const std::string &path, TFileIdentity &out)
{
    return IdentityOfAt(AT_FDCWD, path.c_str(), out);
}

bool IdentityOfAt(int folderFd, const char *name, TFileIdentity &out)
{
    struct stat st {};
    if (::fstatat(folderFd, name, &st, 0) != 0 || !S_ISREG(st.st_mode))
        return false;
    out = IdentityFromStat(st);
    return true;
}
