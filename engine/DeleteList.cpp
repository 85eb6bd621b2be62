#include "engine/DeleteList.h"

#include "engine/RunState.h"
#include "platform/Paths.h"

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>
#include <string_view>

namespace {

constexpr std::int64_t kNsPerSec = 1000000000;

// sec + nsec as nanoseconds; false when that does not fit.
bool PackTime(std::int64_t sec, std::int64_t nsec, std::int64_t &ns)
{
    if (nsec < 0 || nsec >= kNsPerSec)
        return false;
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    if (sec > (kMax - nsec) / kNsPerSec || sec < kMin / kNsPerSec + 1)
        return false;
    ns = sec * kNsPerSec + nsec;
    return true;
}

void UnpackTime(std::int64_t ns, std::int64_t &sec, std::int64_t &nsec)
{
    sec = ns / kNsPerSec;
    nsec = ns % kNsPerSec;
    if (nsec < 0) {
        nsec += kNsPerSec;
        --sec;
    }
}

} // namespace

void TDeleteList::clear()
{
    std::vector<TEntry>().swap(m_entries);
    m_devices.clear();
    m_exact.clear();
}

void TDeleteList::Reserve(std::size_t count)
{
    try {
        m_entries.reserve(count);
    } catch (const std::bad_alloc &) {
        // Then the list grows as it goes.
    } catch (const std::length_error &) {
    }
}

std::uint16_t TDeleteList::DeviceNumber(std::uint64_t device)
{
    for (std::size_t i = 0; i < m_devices.size(); ++i)
        if (m_devices[i] == device)
            return std::uint16_t(i);
    if (m_devices.size() >= kExactDevice)
        return kExactDevice;
    m_devices.push_back(device);
    return std::uint16_t(m_devices.size() - 1);
}

void TDeleteList::Add(std::uint32_t pair, const TFileIdentity &compared, const TFileIdentity &keptCompared)
{
    TEntry e;
    e.pair = pair;
    e.size = std::uint32_t(compared.size);
    const std::uint16_t goneDevice = DeviceNumber(compared.device);
    const std::uint16_t keptDevice = DeviceNumber(keptCompared.device);
    e.gone = std::uint64_t(goneDevice) << kInodeBits | (compared.inode & kInodeMask);
    e.kept = std::uint64_t(keptDevice) << kInodeBits | (keptCompared.inode & kInodeMask);
    const bool packed = compared.size == keptCompared.size && compared.size <= UINT32_MAX
                        && goneDevice != kExactDevice && keptDevice != kExactDevice
                        && compared.inode <= kInodeMask && keptCompared.inode <= kInodeMask
                        && PackTime(compared.mtimeSec, compared.mtimeNsec, e.goneMtimeNs)
                        && PackTime(compared.ctimeSec, compared.ctimeNsec, e.goneCtimeNs)
                        && PackTime(keptCompared.mtimeSec, keptCompared.mtimeNsec, e.keptMtimeNs)
                        && PackTime(keptCompared.ctimeSec, keptCompared.ctimeNsec, e.keptCtimeNs);
    if (!packed) {
        e.gone = std::uint64_t(kExactDevice) << kInodeBits;
        e.kept = 0;
        m_exact[pair] = {compared, keptCompared};
    }
    m_entries.push_back(e);
}

std::pair<std::uint64_t, std::uint64_t> TDeleteList::GoneFile(const TEntry &e) const
{
    if (Exact(e)) {
        const TFileIdentity &id = m_exact.at(e.pair).first;
        return {id.device, id.inode};
    }
    return {m_devices[e.gone >> kInodeBits], e.gone & kInodeMask};
}

std::pair<std::uint64_t, std::uint64_t> TDeleteList::KeptFile(const TEntry &e) const
{
    if (Exact(e)) {
        const TFileIdentity &id = m_exact.at(e.pair).second;
        return {id.device, id.inode};
    }
    return {m_devices[(e.kept & ~kCopyOnList) >> kInodeBits], e.kept & kInodeMask};
}

void TDeleteList::MarkCopiesOnList()
{
    // In the order of the files to delete, each copy is looked for among
    // them; the entries themselves are sorted, so that a million of them
    // need no second list.
    const auto byGone = [this](const TEntry &a, const TEntry &b) { return GoneFile(a) < GoneFile(b); };
    std::sort(m_entries.begin(), m_entries.end(), byGone);
    for (TEntry &e : m_entries) {
        const auto kept = KeptFile(e);
        const auto at = std::lower_bound(m_entries.begin(), m_entries.end(), kept,
                                         [this](const TEntry &x, const std::pair<std::uint64_t, std::uint64_t> &f) {
                                             return GoneFile(x) < f;
                                         });
        if (at != m_entries.end() && GoneFile(*at) == kept)
            e.kept |= kCopyOnList;
    }
}

void TDeleteList::OrderForDeletion(const TRunState &run)
{
    MarkCopiesOnList();
    SortByPath(run);
}

TFileIdentity TDeleteList::IdentityOf(const TEntry &e, bool gone) const
{
    TFileIdentity id;
    const auto [device, inode] = gone ? GoneFile(e) : KeptFile(e);
    id.device = device;
    id.inode = inode;
    id.size = e.size;
    UnpackTime(gone ? e.goneMtimeNs : e.keptMtimeNs, id.mtimeSec, id.mtimeNsec);
    UnpackTime(gone ? e.goneCtimeNs : e.keptCtimeNs, id.ctimeSec, id.ctimeNsec);
    return id;
}

TDeleteCandidate TDeleteList::At(std::size_t at, const TRunState &run) const
{
    const TEntry &e = m_entries[at];
    const bool fromSource = run.request.deleteMode == DeleteMode::Source;
    std::string source, target;
    if (e.pair == kSinglePair) {
        source = run.request.sourcePath;
        target = run.request.targetPath;
    } else {
        source = run.fileList.Path(e.pair);
        target = IncludeTrailingSlash(run.request.targetPath) + run.fileList.Relative(e.pair);
    }
    TDeleteCandidate c;
    c.path = fromSource ? std::move(source) : std::move(target);
    c.keptPath = fromSource ? std::move(target) : std::move(source);
    if (Exact(e)) {
        const auto &exact = m_exact.at(e.pair);
        c.compared = exact.first;
        c.keptCompared = exact.second;
    } else {
        c.compared = IdentityOf(e, true);
        c.keptCompared = IdentityOf(e, false);
    }
    c.copyOnList = (e.kept & kCopyOnList) != 0;
    return c;
}

void TDeleteList::SortByPath(const TRunState &run)
{
    // All paths of a side share its root: their order is that of the
    // relative paths, the folder's relative path, '/' and the name, each
    // folder's made once.
    std::vector<std::string> folders(run.fileList.FolderCount());
    for (std::size_t f = 0; f < folders.size(); ++f) {
        folders[f] = run.fileList.FolderRelative(std::uint32_t(f));
        if (!folders[f].empty())
            folders[f].push_back('/');
    }
    const auto less = [&](const TEntry &a, const TEntry &b) {
        if (a.pair == kSinglePair || b.pair == kSinglePair)
            return a.pair < b.pair;
        const std::string &fa = folders[run.fileList.FolderOf(a.pair)];
        const std::string &fb = folders[run.fileList.FolderOf(b.pair)];
        const std::string_view na = run.fileList.NameOf(a.pair), nb = run.fileList.NameOf(b.pair);
        // Byte by byte along the two joined texts, as unsigned bytes.
        std::size_t i = 0;
        const std::size_t la = fa.size() + na.size(), lb = fb.size() + nb.size();
        for (; i < la && i < lb; ++i) {
            const unsigned char ca = i < fa.size() ? fa[i] : na[i - fa.size()];
            const unsigned char cb = i < fb.size() ? fb[i] : nb[i - fb.size()];
            if (ca != cb)
                return ca < cb;
        }
        return la < lb;
    };
    std::sort(m_entries.begin(), m_entries.end(), less);
}
