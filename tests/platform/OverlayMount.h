// An overlay mounted on a folder for the life of the fixture, its lower layer
// a folder of the test: the file system that shows another folder's own files
// under a second device. Mounting needs privileges the machine may refuse;
// tests then skip with Reason().
#pragma once

#include <cerrno>
#include <cstring>
#include <string>

#include <sys/mount.h>

namespace QvlTest {

class OverlayMount
{
public:
    // `upper` and `work` are empty folders on the file system of `lower`.
    OverlayMount(const std::string &lower, const std::string &upper, const std::string &work, const std::string &at)
        : m_at(at)
    {
        const std::string options = "lowerdir=" + lower + ",upperdir=" + upper + ",workdir=" + work;
        if (::mount("overlay", at.c_str(), "overlay", 0, options.c_str()) == 0)
            m_mounted = true;
        else
            m_reason = "cannot mount an overlay (" + std::string(std::strerror(errno)) + "): needs root";
    }
    ~OverlayMount() { Unmount(); }
    OverlayMount(const OverlayMount &) = delete;
    OverlayMount &operator=(const OverlayMount &) = delete;

    bool Mounted() const { return m_mounted; }
    const char *Reason() const { return m_reason.c_str(); }

    bool Unmount()
    {
        if (!m_mounted)
            return true;
        m_mounted = ::umount2(m_at.c_str(), MNT_DETACH) != 0;
        return !m_mounted;
    }

private:
    std::string m_at;
    std::string m_reason;
    bool m_mounted = false;
};

} // namespace QvlTest
