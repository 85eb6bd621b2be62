// The matching files a run may delete, kept compactly: a million matches
// must not cost two path strings and two full identities each. An entry is
// the pair's number in the gathered list (its paths are made from it on
// demand), the devices by a number of a small table, the size once (both
// copies of a match have it) and, of each copy, its inode and its times in
// nanoseconds. A time that does not fit keeps the whole identities beside.
// An entry is made whole again, as a TDeleteCandidate, when it is deleted.
#pragma once

#include "platform/FileIdentity.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

struct TDeleteCandidate;
struct TRunState;

class TDeleteList
{
public:
    // The number of a single-file run's one pair: its paths are those of the
    // run's request.
    static constexpr std::uint32_t kSinglePair = UINT32_MAX;

    void clear();
    bool empty() const { return m_entries.empty(); }
    std::size_t size() const { return m_entries.size(); }

    // Records the pair `pair` of the gathered list (or kSinglePair): the
    // file to delete had the identity `compared` when it was compared, the
    // copy that proved it `keptCompared`.
    void Add(std::uint32_t pair, const TFileIdentity &compared, const TFileIdentity &keptCompared);

    // Entry `at` made whole: the paths as the run names them (the side to
    // delete first), the identities exactly as recorded.
    TDeleteCandidate At(std::size_t at, const TRunState &run) const;
    // KeyOf() the file to delete of entry `at`.
    std::uint64_t KeyAt(std::size_t at) const;

    // A number for a file, device and inode, the same for the same file;
    // two files rarely share one (inodes beyond 2^48), and then the one
    // deleted is kept for a copy it is not: never the other way round.
    std::uint64_t KeyOf(std::uint64_t device, std::uint64_t inode) const;

    // Puts the entries in ascending byte order of the paths of the side to
    // delete.
    void SortByPath(const TRunState &run);

private:
    struct TCopy {
        std::uint64_t inode = 0;
        std::int64_t mtimeNs = 0;
        std::int64_t ctimeNs = 0;
    };
    struct TEntry {
        std::uint32_t pair = 0;
        std::uint16_t goneDevice = 0, keptDevice = 0;
        std::uint64_t size = 0;
        TCopy gone, kept;
        bool exact = false; // the identities are in m_exact
    };

    std::uint16_t DeviceNumber(std::uint64_t device);
    TFileIdentity IdentityOf(const TEntry &e, const TCopy &copy, std::uint16_t device) const;

    std::deque<TEntry> m_entries;
    std::vector<std::uint64_t> m_devices;
    // Entries whose identities cannot be packed (times beyond the years
    // 1678 to 2262, more than 65,535 devices), by pair number.
    std::map<std::uint32_t, std::pair<TFileIdentity, TFileIdentity>> m_exact;
};
