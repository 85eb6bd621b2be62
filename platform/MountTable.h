// The mount table: which file system holds a path (its "drive part"), what
// kind of drive that is, and which volumes a user would browse. The parser
// takes text so that tests can feed it a recorded table.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct MountEntry {
    std::string mountPoint; // unescaped ("\040" -> ' '), no trailing slash except "/"
    std::string root;       // root of the mount inside its file system
    std::string fsType;     // e.g. "ext4", "fuse.sshfs"
    std::string source;     // e.g. "/dev/sdb1", "nas:/export"
    unsigned major = 0;
    unsigned minor = 0;
    bool readOnly = false;  // the mount's own options say "ro"
    // The file system's own options as the table writes them (still
    // escaped, so that a ',' inside a value cannot split it): where an
    // overlay keeps its layers, for one.
    std::string superOptions;
};

// Parses the text of /proc/self/mountinfo; malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// The live table of this process.
std::vector<MountEntry> ReadMountTable();

// Everything a file holds from its start (read again from the start each
// call: the mount table's descriptor, kept open to be told of changes).
std::string ReadWholeFile(int fd);

// The values of the file-system option `key` ("lowerdir" gives every value
// of "lowerdir=" and of "lowerdir+="), unescaped.
std::vector<std::string> SuperOptionValues(const MountEntry &m, std::string_view key);

// The mount points that lie strictly below the folder `absPath` (at any
// depth), in table order: a folder with one of them inside is never moved
// or removed, since the volume would go with it.
std::vector<std::string> MountsBelow(const std::string &absPath, const std::vector<MountEntry> &mounts);

// The mount point of the file system holding an absolute path (longest
// mount-point prefix, whole segments only), without a trailing slash: the
// root file system's drive part is "". Later mounts on the same point hide
// earlier ones.
std::string DrivePart(const std::string &absPath, const std::vector<MountEntry> &mounts);
std::string DrivePart(const std::string &absPath);
// Drive part + "/".
std::string DriveRoot(const std::string &absPath);

// The values a drive-type query answers with.
enum TDriveType {
    dtUnknown = 0,
    dtNoRootDir = 1,
    dtRemovable = 2,
    dtFixed = 3,
    dtRemote = 4,
    dtCDROM = 5, // also any read-only mount: nothing can be deleted there
    dtRamDisk = 6,
};

// Answers whether the block device major:minor (a partition or a whole disk)
// sits on a removable disk or a USB bus. The live probe reads /sys.
using RemovableProbe = std::function<bool(unsigned major, unsigned minor, const std::string &source)>;
bool IsRemovableDevice(unsigned major, unsigned minor, const std::string &source);
// The same, reading the device tree below `sysRoot` (normally "/sys").
bool IsRemovableDeviceIn(const std::string &sysRoot, unsigned major, unsigned minor,
                         const std::string &source);

TDriveType ClassifyMount(const MountEntry &m, const RemovableProbe &isRemovable);

// The drive type of a folder from what its file system says of itself
// (statfs), for a folder that no mount lists: inside a plain chroot, or with
// a container's table that leaves out the root. dtNoRootDir when the folder
// does not exist.
TDriveType ClassifyFileSystem(const std::string &folder, const RemovableProbe &isRemovable);

// The drive type of a drive root (a mount point with or without its slash):
// that of the mount holding it, or ClassifyFileSystem's where no mount does;
// dtNoRootDir when the folder does not exist.
TDriveType GetDriveType(const std::string &root, const std::vector<MountEntry> &mounts,
                        const RemovableProbe &isRemovable);
TDriveType GetDriveType(const std::string &root);

// The volumes a user cares about, in table order: "/" and the mounts of real
// block devices and network file systems (no proc, sysfs, cgroup, devtmpfs,
// tmpfs, ...). "/" is always one: where the table does not list it (a plain
// chroot), it comes first, with nothing but its mount point set.
std::vector<MountEntry> UserVolumes(const std::vector<MountEntry> &mounts);
