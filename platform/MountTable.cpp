#include "platform/MountTable.h"

#include "platform/Paths.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <memory>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// The kernel writes blanks, tabs, newlines and backslashes of paths in
// mountinfo as a backslash and three octal digits.
std::string Unescape(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out += char(((a - '0') << 6) | ((b - '0') << 3) | (c - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<std::string_view> SplitBlanks(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        if (i >= line.size())
            break;
        std::size_t j = line.find(' ', i);
        if (j == std::string_view::npos)
            j = line.size();
        fields.push_back(line.substr(i, j - i));
        i = j;
    }
    return fields;
}

bool HasOption(std::string_view options, std::string_view wanted)
{
    std::size_t i = 0;
    while (i <= options.size()) {
        std::size_t j = options.find(',', i);
        if (j == std::string_view::npos)
            j = options.size();
        if (options.substr(i, j - i) == wanted)
            return true;
        i = j + 1;
    }
    return false;
}

bool ParseDevice(std::string_view field, unsigned &major, unsigned &minor)
{
    const std::size_t colon = field.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 >= field.size())
        return false;
    unsigned values[2] = {0, 0};
    const std::string_view parts[2] = {field.substr(0, colon), field.substr(colon + 1)};
    for (int k = 0; k < 2; ++k) {
        for (char ch : parts[k]) {
            if (ch < '0' || ch > '9' || values[k] > (UINT_MAX - 9) / 10)
                return false;
            values[k] = values[k] * 10 + unsigned(ch - '0');
        }
    }
    major = values[0];
    minor = values[1];
    return true;
}

bool StartsWith(const std::string &s, std::string_view prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

bool IsNetworkFs(const std::string &fsType)
{
    static constexpr std::array<std::string_view, 12> kNetwork = {
        "nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "ceph", "glusterfs", "afs",
        "fuse.sshfs", "fuse.davfs2", "fuse.rclone",
    };
    for (auto t : kNetwork)
        if (fsType == t)
            return true;
    return false;
}

// A file system on a block device of its own: the kernel names the device
// node as its source. FUSE file systems may name /dev/fuse and are not.
bool IsBlockDeviceMount(const MountEntry &m)
{
    return StartsWith(m.source, "/dev/") && !StartsWith(m.fsType, "fuse.") && m.fsType != "fuse";
}

// The entry that holds `absPath`: the longest mount point that is the path
// itself or a whole-segment prefix of it; of equal points the last mounted.
const MountEntry *HoldingMount(const std::string &absPath, const std::vector<MountEntry> &mounts)
{
    if (absPath.empty() || absPath[0] != '/')
        return nullptr;
    const MountEntry *best = nullptr;
    for (const auto &m : mounts) {
        const std::string &p = m.mountPoint;
        bool holds;
        if (p == "/")
            holds = true;
        else
            holds = StartsWith(absPath, p) && (absPath.size() == p.size() || absPath[p.size()] == '/');
        if (holds && (!best || p.size() >= best->mountPoint.size()))
            best = &m;
    }
    return best;
}

} // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text)
{
    std::vector<MountEntry> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const auto fields = SplitBlanks(text.substr(pos, end - pos));
        pos = end + 1;

        // id parent major:minor root mount-point options [optional...] - type source super-options
        std::size_t sep = 6;
        while (sep < fields.size() && fields[sep] != "-")
            ++sep;
        if (sep + 2 >= fields.size())
            continue;
        MountEntry m;
        if (!ParseDevice(fields[2], m.major, m.minor))
            continue;
        m.root = Unescape(fields[3]);
        m.mountPoint = ExcludeTrailingSlash(Unescape(fields[4]));
        if (m.mountPoint.empty() || m.mountPoint[0] != '/')
            continue;
        m.fsType = Unescape(fields[sep + 1]);
        m.source = Unescape(fields[sep + 2]);
        // A read-only superblock makes every mount of it read-only as well.
        m.readOnly = HasOption(fields[5], "ro")
            || (sep + 3 < fields.size() && HasOption(fields[sep + 3], "ro"));
        if (sep + 3 < fields.size())
            m.superOptions = std::string(fields[sep + 3]);
        out.push_back(std::move(m));
    }
    return out;
}

std::string ReadWholeFile(int fd)
{
    std::string text;
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return text;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buf, std::size_t(n));
    }
    return text;
}

std::vector<MountEntry> ReadMountTable()
{
    const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::vector<MountEntry> table = ParseMountInfo(ReadWholeFile(fd));
    ::close(fd);
    return table;
}

std::vector<std::string> SuperOptionValues(const MountEntry &m, std::string_view key)
{
    std::vector<std::string> values;
    const std::string_view options = m.superOptions;
    std::size_t pos = 0;
    while (pos <= options.size()) {
        std::size_t end = options.find(',', pos);
        if (end == std::string_view::npos)
            end = options.size();
        const std::string_view option = options.substr(pos, end - pos);
        pos = end + 1;
        if (option.size() <= key.size() || option.substr(0, key.size()) != key)
            continue;
        std::string_view rest = option.substr(key.size());
        if (!rest.empty() && rest[0] == '+')
            rest.remove_prefix(1);
        if (!rest.empty() && rest[0] == '=')
            values.push_back(Unescape(rest.substr(1)));
    }
    return values;
}

std::vector<std::string> MountsBelow(const std::string &absPath, const std::vector<MountEntry> &mounts)
{
    const std::string folder = ExcludeTrailingSlash(absPath);
    const std::string prefix = folder == "/" || folder.empty() ? std::string("/") : folder + '/';
    std::vector<std::string> below;
    for (const MountEntry &m : mounts)
        if (m.mountPoint.size() > prefix.size() && m.mountPoint.compare(0, prefix.size(), prefix) == 0)
            below.push_back(m.mountPoint);
    return below;
}

std::string DrivePart(const std::string &absPath, const std::vector<MountEntry> &mounts)
{
    const MountEntry *m = HoldingMount(absPath, mounts);
    if (!m || m->mountPoint == "/")
        return {};
    return m->mountPoint;
}

std::string DrivePart(const std::string &absPath)
{
    return DrivePart(absPath, ReadMountTable());
}

std::string DriveRoot(const std::string &absPath)
{
    return DrivePart(absPath) + '/';
}

bool IsRemovableDevice(unsigned major, unsigned minor, const std::string &source)
{
    return IsRemovableDeviceIn("/sys", major, minor, source);
}

bool IsRemovableDeviceIn(const std::string &sysRoot, unsigned major, unsigned minor,
                         const std::string &source)
{
    // File systems such as btrfs report an anonymous device number; their
    // source names the real block device.
    if (major == 0 && StartsWith(source, "/dev/")) {
        struct stat st;
        if (::stat(source.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
            return false;
        major = ::major(st.st_rdev);
        minor = ::minor(st.st_rdev);
    }
    const std::string link = sysRoot + "/dev/block/" + std::to_string(major) + ':' + std::to_string(minor);
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(link.c_str(), nullptr), &std::free);
    if (!resolved)
        return false;
    std::string device = resolved.get();
    // Only the device tree's own part of the path tells the bus.
    std::unique_ptr<char, decltype(&std::free)> root(::realpath(sysRoot.c_str(), nullptr), &std::free);
    const std::size_t skip = root && StartsWith(device, root.get()) ? std::strlen(root.get()) : 0;
    if (device.find("/usb", skip) != std::string::npos)
        return true;
    // A partition's attributes sit below its disk's folder.
    struct stat st;
    if (::stat((device + "/partition").c_str(), &st) == 0)
        device = device.substr(0, device.rfind('/'));
    std::string removable;
    if (const int fd = ::open((device + "/removable").c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
        removable = ReadWholeFile(fd);
        ::close(fd);
    }
    return !removable.empty() && removable[0] == '1';
}

TDriveType ClassifyMount(const MountEntry &m, const RemovableProbe &isRemovable)
{
    if (m.readOnly)
        return dtCDROM;
    if (m.fsType == "tmpfs" || m.fsType == "ramfs")
        return dtRamDisk;
    if (IsNetworkFs(m.fsType))
        return dtRemote;
    if (m.fsType == "iso9660" || m.fsType == "udf" || StartsWith(m.source, "/dev/sr"))
        return dtCDROM;
    if (IsBlockDeviceMount(m))
        return isRemovable && isRemovable(m.major, m.minor, m.source) ? dtRemovable : dtFixed;
    // Local disk file systems whose source is a pool or a stack, not a node.
    if (m.fsType == "overlay" || m.fsType == "zfs")
        return dtFixed;
    return dtUnknown;
}

namespace {

// Magic numbers of file systems that <linux/magic.h> does not name.
constexpr unsigned long kZfsMagic = 0x2FC12FC1;
constexpr unsigned long kNtfsMagic = 0x5346544E;
constexpr unsigned long kNtfs3Magic = 0x7366746E;
constexpr unsigned long kBcachefsMagic = 0xCA451A4E;
constexpr unsigned long kJfsMagic = 0x3153464A;
constexpr unsigned long kHfsPlusMagic = 0x482B;

// The same classes as ClassifyMount's, by magic number. FUSE says nothing
// of what is behind it, so it stays unknown.
TDriveType ClassByMagic(unsigned long magic)
{
    switch (magic) {
    case TMPFS_MAGIC:
    case RAMFS_MAGIC:
        return dtRamDisk;
    case NFS_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
    case CIFS_SUPER_MAGIC:
    case SMB2_SUPER_MAGIC:
    case V9FS_MAGIC:
    case CEPH_SUPER_MAGIC:
    case AFS_SUPER_MAGIC:
    case AFS_FS_MAGIC:
        return dtRemote;
    case ISOFS_SUPER_MAGIC:
    case UDF_SUPER_MAGIC:
        return dtCDROM;
    case EXT4_SUPER_MAGIC: // ext2 and ext3 too
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case NILFS_SUPER_MAGIC:
    case REISERFS_SUPER_MAGIC:
    case MSDOS_SUPER_MAGIC:
    case EXFAT_SUPER_MAGIC:
    case OVERLAYFS_SUPER_MAGIC:
    case kZfsMagic:
    case kNtfsMagic:
    case kNtfs3Magic:
    case kBcachefsMagic:
    case kJfsMagic:
    case kHfsPlusMagic:
        return dtFixed;
    default:
        return dtUnknown;
    }
}

} // namespace

TDriveType ClassifyFileSystem(const std::string &folder, const RemovableProbe &isRemovable)
{
    struct stat st;
    struct statfs fs;
    struct statvfs vfs;
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || ::statfs(folder.c_str(), &fs) != 0
        || ::statvfs(folder.c_str(), &vfs) != 0)
        return dtNoRootDir;
    if (vfs.f_flag & ST_RDONLY)
        return dtCDROM;
    const TDriveType type = ClassByMagic(static_cast<unsigned long>(fs.f_type));
    if (type == dtFixed && isRemovable && isRemovable(::major(st.st_dev), ::minor(st.st_dev), std::string()))
        return dtRemovable;
    return type;
}

TDriveType GetDriveType(const std::string &root, const std::vector<MountEntry> &mounts,
                        const RemovableProbe &isRemovable)
{
    const std::string path = root.empty() ? std::string("/") : ExcludeTrailingSlash(root);
    const MountEntry *m = HoldingMount(path, mounts);
    if (!m)
        return ClassifyFileSystem(path, isRemovable);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return dtNoRootDir;
    return ClassifyMount(*m, isRemovable);
}

TDriveType GetDriveType(const std::string &root)
{
    return GetDriveType(root, ReadMountTable(), &IsRemovableDevice);
}

std::vector<MountEntry> UserVolumes(const std::vector<MountEntry> &mounts)
{
    std::vector<MountEntry> out;
    for (std::size_t i = 0; i < mounts.size(); ++i) {
        const MountEntry &m = mounts[i];
        // Only the last mount on a point is visible there.
        bool hidden = false;
        for (std::size_t j = i + 1; j < mounts.size() && !hidden; ++j)
            hidden = mounts[j].mountPoint == m.mountPoint;
        if (hidden)
            continue;
        // Squashfs images on loop devices are installed packages (snaps),
        // not places where a user keeps files.
        const bool userDisk = IsBlockDeviceMount(m) && m.fsType != "squashfs";
        if (m.mountPoint == "/" || userDisk || IsNetworkFs(m.fsType))
            out.push_back(m);
    }
    // Every path lies on some volume: where the table does not list the
    // root (a plain chroot), the root is one all the same.
    if (std::none_of(out.begin(), out.end(), [](const MountEntry &m) { return m.mountPoint == "/"; })) {
        MountEntry root;
        root.mountPoint = "/";
        root.root = "/";
        out.insert(out.begin(), std::move(root));
    }
    return out;
}
