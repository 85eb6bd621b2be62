// Whether two files that device and inode tell apart can still be one file
// under two names. A file system stacked on folders of this machine (an
// overlay, a FUSE pass-through, an NFS or SMB export served from here) shows
// their files under a device of its own, often with the very inode numbers
// of the files below: deleting the file below takes the "copy" with it.
#pragma once

#include "platform/MountTable.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

enum class TStackedVerdict {
    Separate,  // nothing stacked joins the two
    SameFile,  // one of them is seen through a file system whose layers hold the other
    Undecided, // a stacked file system whose layers cannot be told (a FUSE file system, an SMB share served from here)
};

struct TStackedAnswer {
    TStackedVerdict verdict = TStackedVerdict::Separate;
    // The file system that stacks, as "<type> at <mount point>", for the log.
    std::string fileSystem;
};

class TStackedLayers
{
public:
    // Reads the live mount table, and reads it again whenever it changes.
    TStackedLayers();
    // A fixed table, for tests: never read again.
    explicit TStackedLayers(std::vector<MountEntry> mounts);
    ~TStackedLayers();
    TStackedLayers(const TStackedLayers &) = delete;
    TStackedLayers &operator=(const TStackedLayers &) = delete;

    // Whether either device is a stacked file system: the only case in
    // which Relation() has anything to say.
    bool AnyStacked(std::uint64_t deviceA, std::uint64_t deviceB);

    // The two files: the device each is on (as stat() gives it) and the
    // folder that holds it, open (any descriptor a *at() call takes).
    TStackedAnswer Relation(std::uint64_t deviceA, int folderA, std::uint64_t deviceB, int folderB);

private:
    using TKey = std::pair<std::uint64_t, std::uint64_t>; // device, inode
    struct TStack {
        bool stacked = false;
        bool undecided = false;
        std::string fileSystem;
        std::set<TKey> layers; // the layer folders' own identities
        std::vector<int> layerFds;
    };
    const TStack &StackOf(std::uint64_t device);
    void Refresh();
    void Forget();

    std::vector<MountEntry> m_mounts;
    std::map<std::uint64_t, TStack> m_stacks;
    int m_tableFd = -1;
};

// True when `host` (of "host:/path" or "//host/share") is this machine.
bool IsThisMachine(const std::string &host);
