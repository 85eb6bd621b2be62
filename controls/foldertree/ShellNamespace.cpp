#include "controls/foldertree/ShellNamespace.h"

#include "platform/DirReader.h"
#include "platform/EntryProbe.h"
#include "platform/MountTable.h"
#include "platform/Paths.h"
#include "platform/RenameEntry.h"
#include "platform/Trash.h"

#include <QFile>
#include <QMimeDatabase>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// Desktop item tokens. They never collide with a file name or a mount point,
// which never begins with ':'.
const std::string HomeToken = ":home";
const std::string ComputerToken = ":computer";

// A folder with more entries than this is said to have subfolders without
// looking further; its button goes away on the first opening if it had none.
constexpr std::size_t SubfolderLookLimit = 256;

int Sign(int v)
{
    return v < 0 ? -1 : v > 0 ? 1 : 0;
}

std::string JoinPath(const std::string &folder, const std::string &name)
{
    return IncludeTrailingSlash(folder) + name;
}

std::string HomeFolder()
{
    const std::string home = ExpandHome("~");
    return home == "~" ? std::string() : ExcludeTrailingSlash(home);
}

// The names of a file-system relative ID, or false when an item is not a
// plain name (empty, ".", "..", holding a '/').
bool NamesOf(PCItemIDList id, std::vector<std::string> &names)
{
    names.clear();
    for (PCItemIDList p = id; p && p[0] | p[1]; p = NextPIDL(p)) {
        std::string name = ItemData(p);
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
            return false;
        names.push_back(std::move(name));
    }
    return true;
}

// Splits a path into segments, folding "." and refusing "..".
bool SegmentsOf(const std::string &path, std::vector<std::string> &segments)
{
    segments.clear();
    std::size_t i = 0;
    while (i <= path.size()) {
        std::size_t j = path.find('/', i);
        if (j == std::string::npos)
            j = path.size();
        const std::string seg = path.substr(i, j - i);
        if (seg == "..")
            return false;
        if (!seg.empty() && seg != ".")
            segments.push_back(seg);
        i = j + 1;
    }
    return true;
}

// Appends one item to a list (the list is replaced).
bool AppendItem(TPidlHolder &list, const std::string &data)
{
    const TPidlHolder item = MakeItemID(data);
    if (!item)
        return false;
    list = ConcatPIDLs(list.get(), item.get());
    return list != nullptr;
}

// Enumerates a prepared vector of item data.
class TVectorEnum : public TEnumIDList
{
public:
    explicit TVectorEnum(std::vector<std::string> items) : m_items(std::move(items)) {}
    bool Next(TPidlHolder &id) override
    {
        id.reset();
        if (m_next >= m_items.size())
            return false;
        id = MakeItemID(m_items[m_next++]);
        return id != nullptr;
    }

private:
    std::vector<std::string> m_items;
    std::size_t m_next = 0;
};

// ---------------------------------------------------------------- file system

class TFileSystemFolder : public TShellFolder
{
public:
    explicit TFileSystemFolder(std::string path) : m_path(std::move(path)) {}

    std::unique_ptr<TEnumIDList> EnumObjects(QWidget *, unsigned flags) override;
    TShellFolderPtr BindToObject(PCItemIDList relativeId, std::string *error) override;
    int CompareIDs(int column, PCItemIDList a, PCItemIDList b) override;
    std::uint32_t GetAttributesOf(PCItemIDList relativeId, std::uint32_t mask) override;
    bool GetDisplayNameOf(PCItemIDList relativeId, TDisplayNameType type, std::string &name) override;
    bool ParseDisplayName(QWidget *, const std::string &path, TPidlHolder &id) override;
    bool GetPathOf(PCItemIDList relativeId, std::string &path) override;
    std::string IconKeyOf(PCItemIDList relativeId, bool open) override;
    bool SetNameOf(QWidget *, PCItemIDList relativeId, const std::string &name, TPidlHolder &newId,
                   int *error) override;

private:
    class TEnum;
    const std::string m_path;
};

class TFileSystemFolder::TEnum : public TEnumIDList
{
public:
    TEnum(const std::string &path, unsigned flags) : m_reader(path), m_flags(flags) {}
    bool Opened() const { return m_reader.OpenError() == 0; }
    bool Next(TPidlHolder &id) override
    {
        id.reset();
        TDirEntry entry;
        while (m_reader.Next(entry, false)) {
            if (entry.name == "." || entry.name == "..")
                continue;
            if (!(m_flags & shcontfIncludeHidden) && IsHiddenName(entry.name))
                continue;
            const bool folder = entry.kind == TEntryKind::Directory;
            if (folder ? !(m_flags & shcontfFolders) : !(m_flags & shcontfNonFolders))
                continue;
            id = MakeItemID(entry.name);
            if (id)
                return true;
        }
        return false;
    }

private:
    TDirReader m_reader;
    const unsigned m_flags;
};

std::unique_ptr<TEnumIDList> TFileSystemFolder::EnumObjects(QWidget *, unsigned flags)
{
    auto e = std::make_unique<TEnum>(m_path, flags);
    if (!e->Opened())
        return nullptr;
    return e;
}

TShellFolderPtr TFileSystemFolder::BindToObject(PCItemIDList relativeId, std::string *error)
{
    std::vector<std::string> names;
    if (!relativeId || !NamesOf(relativeId, names)) {
        if (error)
            *error = std::strerror(EINVAL);
        return nullptr;
    }
    std::string path = m_path;
    for (const std::string &name : names)
        path = JoinPath(path, name);
    // A folder that vanished still binds: listing it then finds nothing,
    // which is what the tree shows for it.
    const TEntryProbe probe = ProbeEntry(path);
    if (probe.exists && !probe.isDir) {
        if (error)
            *error = std::strerror(ENOTDIR);
        return nullptr;
    }
    return std::make_shared<TFileSystemFolder>(path);
}

int TFileSystemFolder::CompareIDs(int, PCItemIDList a, PCItemIDList b)
{
    while (true) {
        const bool endA = !a || !(a[0] | a[1]);
        const bool endB = !b || !(b[0] | b[1]);
        if (endA || endB)
            return endA && endB ? 0 : endA ? -1 : 1;
        const std::string na = ItemData(a);
        const std::string nb = ItemData(b);
        // Names as a user reads them first; the bytes only decide between
        // names that differ in case, so two items are equal only when their
        // names are.
        const int byText = QString::compare(QFile::decodeName(QByteArray::fromStdString(na)),
                                            QFile::decodeName(QByteArray::fromStdString(nb)), Qt::CaseInsensitive);
        if (byText)
            return Sign(byText);
        if (na != nb)
            return na < nb ? -1 : 1;
        a = NextPIDL(a);
        b = NextPIDL(b);
    }
}

std::uint32_t TFileSystemFolder::GetAttributesOf(PCItemIDList relativeId, std::uint32_t mask)
{
    std::string path;
    if (!GetPathOf(relativeId, path))
        return 0;
    const TEntryProbe probe = ProbeEntry(path);
    if (!probe.exists)
        return 0;
    std::uint32_t attrs = sfgaoFileSystem | sfgaoCanCopy | sfgaoCanLink | sfgaoHasPropSheet;
    const std::string parent = path.substr(0, path.rfind('/') + 1);
    if (ProbeEntry(parent).writable)
        attrs |= sfgaoCanRename | sfgaoCanDelete | sfgaoCanMove;
    if (IsHiddenName(path.substr(path.rfind('/') + 1)))
        attrs |= sfgaoHidden;
    if (probe.isLink)
        attrs |= sfgaoLink;
    if (probe.isDir) {
        attrs |= sfgaoFolder | sfgaoFileSysAncestor;
        if (probe.writable)
            attrs |= sfgaoDropTarget;
        if ((mask & sfgaoHasSubfolder) && LookForSubfolder(path, SubfolderLookLimit) != slNone)
            attrs |= sfgaoHasSubfolder;
    }
    return attrs & mask;
}

bool TFileSystemFolder::GetDisplayNameOf(PCItemIDList relativeId, TDisplayNameType type, std::string &name)
{
    std::vector<std::string> names;
    if (!relativeId || !NamesOf(relativeId, names) || names.empty())
        return false;
    if (type == dntForParsing)
        return GetPathOf(relativeId, name);
    name = names.back();
    return true;
}

bool TFileSystemFolder::ParseDisplayName(QWidget *, const std::string &path, TPidlHolder &id)
{
    id.reset();
    // A full path is taken when it lies below this folder.
    const std::string relative = !path.empty() && path[0] == '/' ? RelativeTo(AbsolutePath(path), m_path) : path;
    std::vector<std::string> segments;
    if (!SegmentsOf(relative, segments) || segments.empty())
        return false;
    std::string current = m_path;
    TPidlHolder result = CreatePIDL(2);
    for (std::size_t i = 0; i < segments.size(); ++i) {
        current = JoinPath(current, segments[i]);
        const TEntryProbe probe = ProbeEntry(current);
        const bool last = i + 1 == segments.size();
        if (!probe.exists || (!last && !probe.isDir) || !AppendItem(result, segments[i]))
            return false;
    }
    id = std::move(result);
    return true;
}

bool TFileSystemFolder::GetPathOf(PCItemIDList relativeId, std::string &path)
{
    std::vector<std::string> names;
    if (!relativeId || !NamesOf(relativeId, names))
        return false;
    path = m_path;
    for (const std::string &name : names)
        path = JoinPath(path, name);
    return true;
}

std::string TFileSystemFolder::IconKeyOf(PCItemIDList relativeId, bool open)
{
    std::string path;
    if (!GetPathOf(relativeId, path))
        return {};
    const TEntryProbe probe = ProbeEntry(path);
    if (probe.isDir) {
        if (path == HomeFolder())
            return "user-home";
        return open ? "folder-open" : "folder";
    }
    if (!probe.isFile)
        return "mime:application-octet-stream|application-x-generic";
    static const QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(QFile::decodeName(QByteArray::fromStdString(path)),
                                                 QMimeDatabase::MatchExtension);
    return "mime:" + type.iconName().toStdString() + "|" + type.genericIconName().toStdString();
}

bool TFileSystemFolder::SetNameOf(QWidget *, PCItemIDList relativeId, const std::string &name, TPidlHolder &newId,
                                  int *error)
{
    newId.reset();
    std::string path;
    int result = GetPathOf(relativeId, path) ? RenameEntry(path, name) : EINVAL;
    if (result == 0) {
        // The items before the last stay as they are; the last takes the name.
        const TPidlHolder parent = CopyParentPIDL(relativeId);
        const TPidlHolder last = MakeItemID(name);
        newId = parent && last ? ConcatPIDLs(parent.get(), last.get()) : nullptr;
        if (!newId)
            result = ENOMEM;
    }
    if (error)
        *error = result;
    return result == 0;
}

// ---------------------------------------------------------------- Computer

class TComputerFolder : public TShellFolder
{
public:
    std::unique_ptr<TEnumIDList> EnumObjects(QWidget *, unsigned flags) override
    {
        std::vector<std::string> items;
        if (flags & shcontfFolders)
            for (const MountEntry &m : UserVolumes(ReadMountTable()))
                items.push_back(m.mountPoint);
        return std::make_unique<TVectorEnum>(std::move(items));
    }

    TShellFolderPtr BindToObject(PCItemIDList relativeId, std::string *error) override
    {
        const std::string mount = ItemData(relativeId);
        if (mount.empty() || mount[0] != '/') {
            if (error)
                *error = std::strerror(ENOENT);
            return nullptr;
        }
        auto volume = std::make_shared<TFileSystemFolder>(mount);
        PCItemIDList rest = NextPIDL(relativeId);
        if (!rest || !(rest[0] | rest[1]))
            return volume;
        return volume->BindToObject(rest, error);
    }

    int CompareIDs(int column, PCItemIDList a, PCItemIDList b) override
    {
        const std::string ma = ItemData(a);
        const std::string mb = ItemData(b);
        if (ma != mb) {
            // The root file system first, then by mount point.
            if (ma == "/" || mb == "/")
                return ma == "/" ? -1 : 1;
            return ma < mb ? -1 : 1;
        }
        if (ma.empty())
            return 0;
        return TFileSystemFolder(ma).CompareIDs(column, NextPIDL(a), NextPIDL(b));
    }

    std::uint32_t GetAttributesOf(PCItemIDList relativeId, std::uint32_t mask) override
    {
        const std::string mount = ItemData(relativeId);
        if (mount.empty())
            return 0;
        PCItemIDList rest = NextPIDL(relativeId);
        if (rest && (rest[0] | rest[1]))
            return TFileSystemFolder(mount).GetAttributesOf(rest, mask);
        const TEntryProbe probe = ProbeEntry(mount);
        if (!probe.isDir)
            return 0;
        std::uint32_t attrs = sfgaoFolder | sfgaoFileSystem | sfgaoFileSysAncestor | sfgaoHasPropSheet | sfgaoCanLink;
        if (probe.writable)
            attrs |= sfgaoDropTarget;
        if (GetDriveType(mount) == dtRemovable)
            attrs |= sfgaoRemovable;
        if ((mask & sfgaoHasSubfolder) && LookForSubfolder(mount, SubfolderLookLimit) != slNone)
            attrs |= sfgaoHasSubfolder;
        return attrs & mask;
    }

    bool GetDisplayNameOf(PCItemIDList relativeId, TDisplayNameType type, std::string &name) override
    {
        const std::string mount = ItemData(relativeId);
        if (mount.empty())
            return false;
        PCItemIDList rest = NextPIDL(relativeId);
        if (rest && (rest[0] | rest[1]))
            return TFileSystemFolder(mount).GetDisplayNameOf(rest, type, name);
        name = mount;
        return true;
    }

    bool ParseDisplayName(QWidget *owner, const std::string &path, TPidlHolder &id) override
    {
        id.reset();
        if (path.empty() || path[0] != '/')
            return false;
        const std::string folded = AbsolutePath(path);
        std::string mount = DrivePart(folded, UserVolumes(ReadMountTable()));
        if (mount.empty())
            mount = "/";
        if (!ProbeEntry(mount).isDir)
            return false;
        TPidlHolder result = MakeItemID(mount);
        const std::string rest = RelativeTo(folded, mount);
        if (!rest.empty()) {
            TPidlHolder tail;
            if (!TFileSystemFolder(mount).ParseDisplayName(owner, rest, tail))
                return false;
            result = ConcatPIDLs(result.get(), tail.get());
        }
        id = std::move(result);
        return id != nullptr;
    }

    bool GetPathOf(PCItemIDList relativeId, std::string &path) override
    {
        const std::string mount = ItemData(relativeId);
        if (mount.empty())
            return false;
        PCItemIDList rest = NextPIDL(relativeId);
        if (rest && (rest[0] | rest[1]))
            return TFileSystemFolder(mount).GetPathOf(rest, path);
        path = mount;
        return true;
    }

    std::string IconKeyOf(PCItemIDList relativeId, bool open) override
    {
        const std::string mount = ItemData(relativeId);
        PCItemIDList rest = NextPIDL(relativeId);
        if (rest && (rest[0] | rest[1]))
            return TFileSystemFolder(mount).IconKeyOf(rest, open);
        switch (GetDriveType(mount)) {
        case dtRemovable:
            return "drive-removable-media";
        case dtRemote:
            return "network-server";
        case dtCDROM:
            return "media-optical";
        default:
            return "drive-harddisk";
        }
    }
};

// ---------------------------------------------------------------- Desktop

class TDesktopFolder : public TShellFolder
{
public:
    std::unique_ptr<TEnumIDList> EnumObjects(QWidget *, unsigned flags) override
    {
        std::vector<std::string> items;
        if (flags & shcontfFolders) {
            if (ProbeEntry(HomeFolder()).isDir)
                items.push_back(HomeToken);
            items.push_back(ComputerToken);
        }
        return std::make_unique<TVectorEnum>(std::move(items));
    }

    // The folder the first item stands for.
    TShellFolderPtr FolderOf(PCItemIDList id)
    {
        const std::string token = ItemData(id);
        if (token == HomeToken) {
            const std::string home = HomeFolder();
            return home.empty() ? nullptr : std::make_shared<TFileSystemFolder>(home);
        }
        if (token == ComputerToken)
            return std::make_shared<TComputerFolder>();
        return nullptr;
    }

    TShellFolderPtr BindToObject(PCItemIDList relativeId, std::string *error) override
    {
        TShellFolderPtr first = relativeId ? FolderOf(relativeId) : nullptr;
        if (!first) {
            if (error)
                *error = std::strerror(ENOENT);
            return nullptr;
        }
        PCItemIDList rest = NextPIDL(relativeId);
        if (!rest || !(rest[0] | rest[1]))
            return first;
        return first->BindToObject(rest, error);
    }

    static int Rank(const std::string &token) { return token == HomeToken ? 0 : token == ComputerToken ? 1 : 2; }

    int CompareIDs(int column, PCItemIDList a, PCItemIDList b) override
    {
        const std::string ta = ItemData(a);
        const std::string tb = ItemData(b);
        if (ta != tb)
            return Rank(ta) != Rank(tb) ? Sign(Rank(ta) - Rank(tb)) : (ta < tb ? -1 : 1);
        TShellFolderPtr folder = FolderOf(a);
        if (!folder)
            return 0;
        return folder->CompareIDs(column, NextPIDL(a), NextPIDL(b));
    }

    // Splits an ID of two items or more into the folder of its parent and
    // its last item.
    TShellFolderPtr ParentOf(PCItemIDList id, TPidlHolder &last)
    {
        const TPidlHolder parent = CopyParentPIDL(id);
        last = CopyLastID(id);
        return parent && last ? BindToObject(parent.get(), nullptr) : nullptr;
    }

    std::uint32_t GetAttributesOf(PCItemIDList relativeId, std::uint32_t mask) override
    {
        if (PIDLCount(relativeId) > 1) {
            TPidlHolder last;
            TShellFolderPtr parent = ParentOf(relativeId, last);
            return parent ? parent->GetAttributesOf(last.get(), mask) : 0;
        }
        const std::string token = ItemData(relativeId);
        std::uint32_t attrs = sfgaoFolder | sfgaoFileSysAncestor | sfgaoHasPropSheet;
        if (relativeId && !(relativeId[0] | relativeId[1])) {
            attrs |= sfgaoHasSubfolder; // the Desktop itself
        } else if (token == HomeToken) {
            const TEntryProbe probe = ProbeEntry(HomeFolder());
            if (!probe.isDir)
                return 0;
            attrs |= sfgaoFileSystem | sfgaoCanCopy | sfgaoCanLink;
            if (probe.writable)
                attrs |= sfgaoDropTarget;
            if ((mask & sfgaoHasSubfolder) && LookForSubfolder(HomeFolder(), SubfolderLookLimit) != slNone)
                attrs |= sfgaoHasSubfolder;
        } else if (token == ComputerToken) {
            attrs |= sfgaoHasSubfolder;
        } else {
            return 0;
        }
        return attrs & mask;
    }

    bool GetDisplayNameOf(PCItemIDList relativeId, TDisplayNameType type, std::string &name) override
    {
        if (!relativeId)
            return false;
        if (!(relativeId[0] | relativeId[1])) {
            // The Desktop itself: a name to show, no path.
            if (type == dntForParsing)
                return false;
            name = "Desktop";
            return true;
        }
        PCItemIDList rest = NextPIDL(relativeId);
        if (rest && (rest[0] | rest[1])) {
            if (type == dntForParsing)
                return GetPathOf(relativeId, name);
            TPidlHolder last;
            TShellFolderPtr parent = ParentOf(relativeId, last);
            return parent && parent->GetDisplayNameOf(last.get(), type, name);
        }
        const std::string token = ItemData(relativeId);
        if (token == HomeToken) {
            if (type == dntForParsing)
                return GetPathOf(relativeId, name);
            name = "Home";
            return true;
        }
        if (token == ComputerToken) {
            name = "Computer";
            return true;
        }
        return false;
    }

    bool ParseDisplayName(QWidget *owner, const std::string &path, TPidlHolder &id) override
    {
        id.reset();
        const std::string expanded = ExpandHome(path);
        if (expanded.empty() || expanded[0] != '/')
            return false;
        TPidlHolder tail;
        if (!TComputerFolder().ParseDisplayName(owner, expanded, tail))
            return false;
        const TPidlHolder computer = MakeItemID(ComputerToken);
        id = ConcatPIDLs(computer.get(), tail.get());
        return id != nullptr;
    }

    bool GetPathOf(PCItemIDList relativeId, std::string &path) override
    {
        if (!relativeId || !(relativeId[0] | relativeId[1]))
            return false;
        const std::string token = ItemData(relativeId);
        PCItemIDList rest = NextPIDL(relativeId);
        const bool more = rest && (rest[0] | rest[1]);
        if (token == HomeToken) {
            const std::string home = HomeFolder();
            if (home.empty())
                return false;
            if (!more) {
                path = home;
                return true;
            }
            return TFileSystemFolder(home).GetPathOf(rest, path);
        }
        if (token == ComputerToken && more)
            return TComputerFolder().GetPathOf(rest, path);
        return false;
    }

    std::string IconKeyOf(PCItemIDList relativeId, bool open) override
    {
        if (PIDLCount(relativeId) > 1) {
            TPidlHolder last;
            TShellFolderPtr parent = ParentOf(relativeId, last);
            return parent ? parent->IconKeyOf(last.get(), open) : std::string();
        }
        const std::string token = ItemData(relativeId);
        if (token == HomeToken)
            return "user-home";
        if (token == ComputerToken)
            return "computer";
        return {};
    }
};

// ---------------------------------------------------------------- well-known folders

// A folder of the XDG user-dirs file ("XDG_DESKTOP_DIR" ...), or the usual
// default below the home folder when the file does not name it.
std::string UserDir(const char *key, const char *fallback)
{
    const std::string home = HomeFolder();
    if (home.empty())
        return {};
    std::string configHome = QFile::encodeName(qEnvironmentVariable("XDG_CONFIG_HOME")).toStdString();
    if (configHome.empty())
        configHome = home + "/.config";
    QFile file(QFile::decodeName(QByteArray::fromStdString(configHome + "/user-dirs.dirs")));
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd()) {
            const QByteArray line = file.readLine().trimmed();
            if (!line.startsWith(QByteArray(key) + '='))
                continue;
            QByteArray value = line.mid(int(std::strlen(key)) + 1);
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                value = value.mid(1, value.size() - 2);
            if (value.startsWith("$HOME"))
                value = QByteArray::fromStdString(home) + value.mid(5);
            if (value.startsWith('/'))
                return ExcludeTrailingSlash(value.toStdString());
        }
    }
    return fallback ? home + "/" + fallback : std::string();
}

} // namespace

bool TShellFolder::SetNameOf(QWidget *, PCItemIDList, const std::string &, TPidlHolder &newId, int *error)
{
    newId.reset();
    if (error)
        *error = EPERM;
    return false;
}

TShellFolderPtr GetDesktopFolder()
{
    static const TShellFolderPtr desktop = std::make_shared<TDesktopFolder>();
    return desktop;
}

bool GetPathFromIDList(PCItemIDList absoluteId, std::string &path)
{
    path.clear();
    return absoluteId && GetDesktopFolder()->GetPathOf(absoluteId, path);
}

bool GetSpecialFolderLocation(QWidget *owner, int csidl, TPidlHolder &id)
{
    id.reset();
    std::string path;
    switch (csidl) {
    case csidlDesktop:
        id = CreatePIDL(2);
        return id != nullptr;
    case csidlDrives:
        id = MakeItemID(ComputerToken);
        return id != nullptr;
    case csidlDesktopDirectory:
        path = UserDir("XDG_DESKTOP_DIR", "Desktop");
        break;
    case csidlPersonal:
        path = UserDir("XDG_DOCUMENTS_DIR", "Documents");
        break;
    case csidlTemplates:
        path = UserDir("XDG_TEMPLATES_DIR", "Templates");
        break;
    case csidlStartup: {
        std::string configHome = QFile::encodeName(qEnvironmentVariable("XDG_CONFIG_HOME")).toStdString();
        if (configHome.empty() && !HomeFolder().empty())
            configHome = HomeFolder() + "/.config";
        if (!configHome.empty())
            path = configHome + "/autostart";
        break;
    }
    case csidlBitBucket:
        path = HomeTrashDir() + "/files";
        break;
    default:
        return false;
    }
    if (path.empty() || !ProbeEntry(path).isDir)
        return false;
    return GetDesktopFolder()->ParseDisplayName(owner, path, id);
}
