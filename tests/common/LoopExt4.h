// An ext4 file system on a loop device of its own, mounted on a folder for
// the life of the fixture: a real disk whose blocks a test can overwrite
// behind the page cache. Needs root, mkfs.ext4 and losetup; tests skip with
// Reason() where any of that is missing.
#pragma once

#include "tests/common/TempTree.h"

#include <QProcess>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <memory>
#include <string>
#include <vector>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace QvlTest {

class LoopExt4
{
public:
    explicit LoopExt4(int megabytes = 64)
    {
        if (::geteuid() != 0) {
            m_reason = "an ext4 file system on a loop device needs root";
            return;
        }
        m_image = m_tree.path("disk.img");
        m_mountPoint = m_tree.path("mnt");
        m_tree.createDir("mnt");
        if (!m_tree.createFile("disk.img") || ::truncate(m_image.c_str(), off_t(megabytes) << 20) != 0) {
            m_reason = std::string("cannot size the image file: ") + std::strerror(errno);
            return;
        }
        QString out;
        if (!Run("mkfs.ext4", {"-q", "-F", "-E", "nodiscard", QString::fromStdString(m_image)}, out)) {
            m_reason = "mkfs.ext4 failed: " + out.toStdString();
            return;
        }
        if (!Run("losetup", {"--find", "--show", QString::fromStdString(m_image)}, out)) {
            m_reason = "losetup failed: " + out.toStdString();
            return;
        }
        m_device = out.trimmed().toStdString();
        if (::mount(m_device.c_str(), m_mountPoint.c_str(), "ext4", 0, nullptr) != 0) {
            m_reason = "cannot mount " + m_device + ": " + std::strerror(errno);
            return;
        }
        m_mounted = true;
    }

    ~LoopExt4()
    {
        if (m_mounted)
            ::umount2(m_mountPoint.c_str(), 0);
        QString out;
        if (!m_device.empty())
            Run("losetup", {"-d", QString::fromStdString(m_device)}, out);
    }

    LoopExt4(const LoopExt4 &) = delete;
    LoopExt4 &operator=(const LoopExt4 &) = delete;

    bool Usable() const { return m_mounted; }
    const char *Reason() const { return m_reason.c_str(); }
    std::string path(const std::string &rel) const { return m_mountPoint + "/" + rel; }

    // Overwrites, on the device itself, the file system block that holds
    // byte `offset` of the file with zeros. The file's pages in the cache
    // keep what they held.
    bool ZeroBlockBehindTheCache(const std::string &file, std::uint64_t offset) const
    {
        const int fd = ::open(file.c_str(), O_RDONLY);
        if (fd < 0)
            return false;
        // One extent is plenty for a file written at once on an empty disk;
        // FIEMAP_FLAG_SYNC puts it on the disk first.
        constexpr unsigned kExtents = 16;
        std::vector<char> buffer(sizeof(fiemap) + kExtents * sizeof(fiemap_extent));
        auto *map = reinterpret_cast<fiemap *>(buffer.data());
        map->fm_start = 0;
        map->fm_length = ~0ULL;
        map->fm_flags = FIEMAP_FLAG_SYNC;
        map->fm_extent_count = kExtents;
        const bool mapped = ::ioctl(fd, FS_IOC_FIEMAP, map) == 0;
        ::close(fd);
        if (!mapped)
            return false;
        std::uint64_t physical = 0;
        bool found = false;
        for (unsigned i = 0; i < map->fm_mapped_extents && !found; ++i) {
            const fiemap_extent &e = map->fm_extents[i];
            if (offset >= e.fe_logical && offset < e.fe_logical + e.fe_length) {
                physical = e.fe_physical + (offset - e.fe_logical);
                found = true;
            }
        }
        if (!found)
            return false;
        physical -= physical % 4096;
        void *zeros = nullptr;
        if (::posix_memalign(&zeros, 4096, 4096) != 0)
            return false;
        std::memset(zeros, 0, 4096);
        const int dev = ::open(m_device.c_str(), O_WRONLY | O_DIRECT);
        const bool written = dev >= 0 && ::pwrite(dev, zeros, 4096, off_t(physical)) == 4096 && ::fsync(dev) == 0;
        if (dev >= 0)
            ::close(dev);
        std::free(zeros);
        return written;
    }

private:
    static bool Run(const QString &program, const QStringList &args, QString &out)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, args);
        if (!p.waitForFinished(60000)) {
            out = program + " did not run";
            return false;
        }
        out = QString::fromLocal8Bit(p.readAll());
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    TempTree m_tree;
    std::string m_image, m_mountPoint, m_device, m_reason;
    bool m_mounted = false;
};

} // namespace QvlTest
