// A file system mounted on a folder for the life of the fixture. Mounting
// needs privileges the machine may refuse; tests then skip with Reason().
#pragma once

#include <cerrno>
#include <cstring>
#include <string>

#include <sys/mount.h>

namespace QvlTest {

class ScopedMount
{
public:
    // `what` names the file system in Reason().
    ScopedMount(const char *source, const std::string &at, const char *type, const std::string &options,
                const std::string &what)
        : m_at(at)
    {
        if (::mount(source, at.c_str(), type, 0, options.c_str()) == 0)
            m_mounted = true;
        else
            m_reason = "cannot mount " + what + " on " + at + ": " + std::strerror(errno);
    }
    ~ScopedMount() { Unmount(); }
    ScopedMount(const ScopedMount &) = delete;
    ScopedMount &operator=(const ScopedMount &) = delete;

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
