// The matching files a run may delete, kept compactly: a million matches
// must not cost two path strings and two full identities each. An entry is
// 56 bytes: the pair's number in the gathered list (its paths are made from
// it on demand), the size once (both copies of a match have it) and, of
// each copy, its device (a number of a small table) with its inode in one
// word and its two times in nanoseconds. An entry whose identities do not
// fit so (a size of 4 GiB or more, an inode beyond 2^48, a time beyond the
// years 1678 to 2262, more than 32,766 devices) keeps them whole beside.
// An entry is made whole again, as a TDeleteCandidate, when it is deleted.
#pragma once

#include "platform/FileIdentity.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct TDeleteCandidate;
struct TRunState;

class TDeleteList
{
public:
    // The number of a single-file run's one pair: its paths are those of the
    // run's request.
    static constexpr std::uint32_t kSinglePair = UINT32_MAX;

    // Forgets every entry and gives the memory back.
    void clear();
    // Room for `count` entries, taken at once: a list that grows by copying
    // itself would need half as much again at the moment it does. Pages not
    // written stay untouched, so room for matches that never come costs
    // nothing.
    void Reserve(std::size_t count);
    bool empty() const { return m_entries.empty(); }
    std::size_t size() const { return m_entries.size(); }

    // Records the pair `pair` of the gathered list (or kSinglePair): the
    // file to delete had the identity `compared` when it was compared, the
    // copy that proved it `keptCompared`.
    void Add(std::uint32_t pair, const TFileIdentity &compared, const TFileIdentity &keptCompared);

    // Entry `at` made whole: the paths as the run names them (the side to
    // delete first), the identities exactly as recorded.
    TDeleteCandidate At(std::size_t at, const TRunState &run) const;
    // Makes the list ready to delete from: marks each entry whose copy is
    // itself one of the files to delete (with crosswise links or overlapping
    // trees the two copies of a pair can both be on the list, each the
    // other's proof), then puts the entries in ascending byte order of the
    // paths of the side to delete.
    void OrderForDeletion(const TRunState &run);

private:
    // A file: its device's number in m_devices above kInodeBits, its inode
    // below.
    static constexpr int kInodeBits = 48;
    static constexpr std::uint64_t kInodeMask = (std::uint64_t(1) << kInodeBits) - 1;
    // The device number of an entry whose identities are in m_exact.
    static constexpr std::uint16_t kExactDevice = 0x7fff;
    // In `kept`: the copy is one of the files to delete.
    static constexpr std::uint64_t kCopyOnList = std::uint64_t(1) << 63;

    struct TEntry {
        std::uint64_t gone = 0, kept = 0;
        std::int64_t goneMtimeNs = 0, goneCtimeNs = 0;
        std::int64_t keptMtimeNs = 0, keptCtimeNs = 0;
        std::uint32_t pair = 0;
        std::uint32_t size = 0;
    };
    static_assert(sizeof(TEntry) == 56);

    bool Exact(const TEntry &e) const { return (e.gone >> kInodeBits) == kExactDevice; }
    std::uint16_t DeviceNumber(std::uint64_t device);
    // Device and inode of the file to delete / of its copy.
    std::pair<std::uint64_t, std::uint64_t> GoneFile(const TEntry &e) const;
    std::pair<std::uint64_t, std::uint64_t> KeptFile(const TEntry &e) const;
    TFileIdentity IdentityOf(const TEntry &e, bool gone) const;
    void MarkCopiesOnList();
    void SortByPath(const TRunState &run);

    std::vector<TEntry> m_entries;
    std::vector<std::uint64_t> m_devices;
    // The identities of the entries that cannot be packed, by pair number.
    std::map<std::uint32_t, std::pair<TFileIdentity, TFileIdentity>> m_exact;
};
