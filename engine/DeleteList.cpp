#include "engine/DeleteList.h"

#include "engine/RunState.h"
#include "platform/Paths.h"

#include <algorithm>
#include <limits>
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
    m_entries.clear();
    m_devices.clear();
    m_exact.clear();
}

std::uint16_t TDeleteList::DeviceNumber(std::uint64_t device)
{
    for (std::size_t i = 0; i < m_devices.size(); ++i)
        if (m_devices[i] == device)
            return std::uint16_t(i);
    if (m_devices.size() > std::numeric_limits<std::uint16_t>::max())
        return std::numeric_limits<std::uint16_t>::max();
    m_devices.push_back(device);
    return std::uint16_t(m_devices.size() - 1);
}

void TDeleteList::Add(std::uint32_t pair, const TFileIdentity &compared, const TFileIdentity &keptCompared)
{
    TEntry e;
    e.pair = pair;
    e.size = compared.size;
    e.gone.inode = compared.inode;
    e.kept.inode = keptCompared.inode;
    e.goneDevice = DeviceNumber(compared.device);
    e.keptDevice = DeviceNumber(keptCompared.device);
    const bool packed = compared.size == keptCompared.size && m_devices[e.goneDevice] == compared.device &&
                        m_devices[e.keptDevice] == keptCompared.device &&
                        PackTime(compared.mtimeSec, compared.mtimeNsec, e.gone.mtimeNs) &&
                        PackTime(compared.ctimeSec, compared.ctimeNsec, e.gone.ctimeNs) &&
                        PackTime(keptCompared.mtimeSec, keptCompared.mtimeNsec, e.kept.mtimeNs) &&
                        PackTime(keptCompared.ctimeSec, keptCompared.ctimeNsec, e.kept.ctimeNs);
    if (!packed) {
        e.exact = true;
        m_exact[pair] = {compared, keptCompared};
    }
    m_entries.push_back(e);
}

std::uint64_t TDeleteList::KeyOf(std::uint64_t device, std::uint64_t inode) const
{
    std::uint64_t number = 0xffff;
    for (std::size_t i = 0; i < m_devices.size() && i < 0xffff; ++i)
        if (m_devices[i] == device)
            number = i;
    return (number << 48) ^ inode;
}

std::uint64_t TDeleteList::KeyAt(std::size_t at) const
{
    const TEntry &e = m_entries[at];
    if (e.exact) {
        const TFileIdentity &id = m_exact.at(e.pair).first;
        return KeyOf(id.device, id.inode);
    }
    return KeyOf(m_devices[e.goneDevice], e.gone.inode);
}

TFileIdentity TDeleteList::IdentityOf(const TEntry &e, const TCopy &copy, std::uint16_t device) const
{
    TFileIdentity id;
    id.device = m_devices[device];
    id.inode = copy.inode;
    id.size = e.size;
    UnpackTime(copy.mtimeNs, id.mtimeSec, id.mtimeNsec);
    UnpackTime(copy.ctimeNs, id.ctimeSec, id.ctimeNsec);
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
    if (e.exact) {
        const auto &exact = m_exact.at(e.pair);
        c.compared = exact.first;
        c.keptCompared = exact.second;
    } else {
        c.compared = IdentityOf(e, e.gone, e.goneDevice);
        c.keptCompared = IdentityOf(e, e.kept, e.keptDevice);
    }
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
