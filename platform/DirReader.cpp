#include "platform/DirReader.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

TDirReader::TDirReader(const std::string &folder)
{
    m_dir = ::opendir(folder.c_str());
    if (!m_dir)
        m_openError = errno ? errno : EIO;
}

TDirReader::~TDirReader()
{
    if (m_dir)
        ::closedir(m_dir);
}

namespace {

TEntryKind KindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return TEntryKind::Directory;
    if (S_ISREG(mode))
        return TEntryKind::File;
    return TEntryKind::Other;
}

TOtherKind OtherKindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return TOtherKind::Fifo;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return TOtherKind::Device;
    if (S_ISSOCK(mode))
        return TOtherKind::Socket;
    return TOtherKind::Unknown;
}

TOtherKind OtherKindOfType(unsigned char type)
{
    switch (type) {
    case DT_FIFO:
        return TOtherKind::Fifo;
    case DT_CHR:
    case DT_BLK:
        return TOtherKind::Device;
    case DT_SOCK:
        return TOtherKind::Socket;
    default:
        return TOtherKind::Unknown;
    }
}

} // namespace

bool TDirReader::Next(TDirEntry &entry, bool wantSize)
{
    if (!m_dir)
        return false;
    errno = 0;
    const struct dirent *d = ::readdir(m_dir);
    if (!d) {
        m_error = errno;
        return false;
    }
    entry.name = d->d_name;
    entry.other = TOtherKind::None;
    entry.isLink = false;
    entry.size = 0;

    const int dfd = ::dirfd(m_dir);
    unsigned char type = d->d_type;
    struct stat st {};
    bool haveStat = false;
    if (type == DT_UNKNOWN) {
        if (::fstatat(dfd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            haveStat = true;
            type = S_ISLNK(st.st_mode)   ? DT_LNK
                   : S_ISDIR(st.st_mode) ? DT_DIR
                   : S_ISREG(st.st_mode) ? DT_REG
                                         : DT_UNKNOWN;
            if (type == DT_UNKNOWN)
                entry.other = OtherKindOf(st.st_mode);
        } else {
            entry.other = TOtherKind::Unknown; // never to be opened
        }
    }

    switch (type) {
    case DT_DIR:
        entry.kind = TEntryKind::Directory;
        break;
    case DT_REG:
        entry.kind = TEntryKind::File;
        if (haveStat || (wantSize && ::fstatat(dfd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0))
            entry.size = static_cast<std::uint64_t>(st.st_size);
        break;
    case DT_LNK:
        entry.isLink = true;
        if (::fstatat(dfd, d->d_name, &st, 0) == 0) {
            entry.kind = KindOf(st.st_mode);
            if (entry.kind == TEntryKind::File)
                entry.size = static_cast<std::uint64_t>(st.st_size);
            else if (entry.kind == TEntryKind::Other)
                entry.other = OtherKindOf(st.st_mode);
        } else {
            entry.kind = TEntryKind::Other;
            entry.other = errno == ELOOP                        ? TOtherKind::LinkLoop
                          : errno == ENOENT || errno == ENOTDIR ? TOtherKind::DanglingLink
                                                                : TOtherKind::Unknown;
        }
        break;
    default:
        entry.kind = TEntryKind::Other;
        if (entry.other == TOtherKind::None)
            entry.other = OtherKindOfType(type);
        break;
    }
    return true;
}

bool TDirReader::SizeOf(const std::string &name, std::uint64_t &size) const
{
    struct stat st {};
    if (!m_dir || ::fstatat(::dirfd(m_dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool IsHiddenName(const std::string &name)
{
    return !name.empty() && name[0] == '.' && name != "." && name != "..";
}
