#include "platform/EntryProbe.h"

#include "platform/DirReader.h"

#include <sys/stat.h>
#include <unistd.h>

TEntryProbe ProbeEntry(const std::string &path)
{
    TEntryProbe probe;
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0)
        return probe;
    probe.exists = true;
    probe.isLink = S_ISLNK(st.st_mode);
    if (probe.isLink && ::stat(path.c_str(), &st) != 0)
        return probe; // dangling: neither folder nor file
    probe.isDir = S_ISDIR(st.st_mode);
    probe.isFile = S_ISREG(st.st_mode);
    probe.writable = ::access(path.c_str(), W_OK) == 0;
    return probe;
}

TSubfolderLook LookForSubfolder(const std::string &folder, std::size_t maxEntries, bool includeHidden)
{
    TDirReader reader(folder);
    if (reader.OpenError())
        return slUnknown;
    TDirEntry entry;
    std::size_t seen = 0;
    while (reader.Next(entry, false)) {
        if (entry.name == "." || entry.name == "..")
            continue;
        if (entry.kind == TEntryKind::Directory && (includeHidden || !IsHiddenName(entry.name)))
            return slSome;
        if (++seen >= maxEntries)
            return slUnknown;
    }
    return reader.Error() ? slUnknown : slNone;
}
