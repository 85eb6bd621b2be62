// A tmpfs mounted on a folder for the life of the fixture, to give tests a
// second file system. Mounting needs privileges the machine may refuse; tests
// then skip with Reason().
#pragma once

#include <cerrno>
#include <cstring>
#include <string>

#include <sys/mount.h>

namespace QvlTest {

class TmpfsMount
{
public:
    // `options` as mount(8) takes them; "size=4k" makes a file system that
    // is full after one page.
    explicit TmpfsMount(const std::string &folder, const char *options = "mode=0755,size=16m") : m_folder(folder)
    {
        if (::mount("quorvel-test", folder.c_str(), "tmpfs", 0, options) == 0)
            m_mounted = true;
        else
            m_reason = "cannot mount a tmpfs on " + folder + ": " + std::strerror(errno);
    }
    ~TmpfsMount() { Unmount(); }
    TmpfsMount(const TmpfsMount &) = delete;
    TmpfsMount &operator=(const TmpfsMount &) = delete;

    bool Mounted() const { return m_mounted; }
    const char *Reason() const { return m_reason.c_str(); }

    bool Unmount()
    {
        if (!m_mounted)
            return true;
        m_mounted = ::umount2(m_folder.c_str(), MNT_DETACH) != 0;
        return !m_mounted;
    }

private:
    std::string m_folder;
    std::string m_reason;
    bool m_mounted = false;
};

} // namespace QvlTest
