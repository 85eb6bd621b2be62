// Waits for changes inside one folder (inotify). A watch is opened once and
// waited on in short slices by its owner, which can so give up within one
// slice. The kinds of change are the desktop's "change notification" kinds;
// inotify reports more than they ask for (it cannot tell files from folders
// by its mask), so the events read are filtered here.
#pragma once

#include <string>

// Kinds of change to wait for.
enum : unsigned {
    dcFileName = 0x001,   // a file was created, deleted or renamed
    dcDirName = 0x002,    // a folder was created, deleted or renamed
    dcAttributes = 0x004, // permissions, owner, times
    dcSize = 0x008,       // a file was written
    dcLastWrite = 0x010,  // a file was written
    dcSecurity = 0x100,   // permissions, owner
};

// The inotify event mask that covers `kinds`.
unsigned InotifyMaskFor(unsigned kinds);

enum TWatchResult {
    wrChanged, // a change of a requested kind, or the folder itself went
    wrTimeout, // nothing within the slice
    wrFailed,  // the watch broke (no events can come any more)
};

class TDirectoryWatch
{
public:
    TDirectoryWatch() = default;
    ~TDirectoryWatch();
    TDirectoryWatch(const TDirectoryWatch &) = delete;
    TDirectoryWatch &operator=(const TDirectoryWatch &) = delete;

    // Starts watching `folder` (and, with `subTree`, every folder below it as
    // it is now; links to folders are not followed). 0 on success, else errno.
    int Open(const std::string &folder, unsigned kinds, bool subTree);
    // Waits at most `timeoutMs` for a change; events of kinds not asked for
    // are consumed and ignored.
    TWatchResult Wait(int timeoutMs);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

private:
    bool Relevant(unsigned eventMask) const;

    int m_fd = -1;
    unsigned m_kinds = 0;
};
