#include "engine/GatheredFiles.h"

#include <algorithm>
#include <cstring>

namespace {

// Names are at most a few hundred bytes; a block holds many thousands.
constexpr std::size_t kNameBlock = 1 << 20;

} // namespace

void TGatheredFiles::clear(const std::string &root)
{
    m_root = root;
    m_folders.clear();
    m_files.clear();
    m_runs.clear();
    m_blocks.clear();
    m_blockUsed = kNameBlock;
    m_folders.push_back({kRoot, Store({})});
}

TGatheredFiles::TNameRef TGatheredFiles::Store(std::string_view name)
{
    const std::size_t need = name.size() + 1;
    if (m_blocks.empty() || m_blockUsed + need > kNameBlock) {
        m_blocks.emplace_back(new char[need > kNameBlock ? need : kNameBlock]);
        m_blockUsed = 0;
    }
    char *at = m_blocks.back().get() + m_blockUsed;
    std::memcpy(at, name.data(), name.size());
    at[name.size()] = '\0';
    const TNameRef ref {std::uint32_t(m_blocks.size() - 1), std::uint32_t(m_blockUsed)};
    m_blockUsed += need;
    return ref;
}

std::uint32_t TGatheredFiles::AddFolder(std::uint32_t parent, std::string_view name)
{
    m_folders.push_back({parent, Store(name)});
    return std::uint32_t(m_folders.size() - 1);
}

void TGatheredFiles::Add(std::uint32_t folder, std::string_view name)
{
    if (m_runs.empty() || m_runs.back().folder != folder)
        m_runs.push_back({m_files.size(), folder});
    m_files.push_back(Store(name));
}

std::uint32_t TGatheredFiles::FolderOf(std::size_t index) const
{
    // Files are mostly asked for in order: the run of the last answer (on
    // this thread, of whichever list) is tried first.
    thread_local std::size_t last = 0;
    const auto holds = [&](std::size_t run) {
        return run < m_runs.size() && m_runs[run].first <= index
               && (run + 1 == m_runs.size() || index < m_runs[run + 1].first);
    };
    if (!holds(last)) {
        if (holds(last + 1)) {
            ++last;
        } else {
            const auto after = std::upper_bound(m_runs.begin(), m_runs.end(), index,
                                                [](std::size_t i, const TRun &r) { return i < r.first; });
            last = std::size_t(after - m_runs.begin()) - 1;
        }
    }
    return m_runs[last].folder;
}

void TGatheredFiles::AppendFolder(std::string &out, std::uint32_t folder) const
{
    if (folder == kRoot)
        return;
    // Folders are few against files and shallow against names: the chain
    // up to the root is walked each time.
    thread_local std::vector<std::uint32_t> chain;
    chain.clear();
    for (std::uint32_t f = folder; f != kRoot; f = m_folders[f].parent)
        chain.push_back(f);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        out.append(NameAt(m_folders[*it].name)).push_back('/');
}

std::string TGatheredFiles::FolderRelative(std::uint32_t folder) const
{
    std::string out;
    AppendFolder(out, folder);
    if (!out.empty())
        out.pop_back();
    return out;
}

std::string TGatheredFiles::FolderPath(std::uint32_t folder) const
{
    if (folder == kRoot)
        return m_root;
    std::string out = m_root;
    if (out.empty() || out.back() != '/')
        out.push_back('/');
    AppendFolder(out, folder);
    out.pop_back();
    return out;
}

std::string TGatheredFiles::Relative(std::size_t index) const
{
    std::string out;
    AppendFolder(out, FolderOf(index));
    out.append(NameOf(index));
    return out;
}

std::string TGatheredFiles::Path(std::size_t index) const
{
    std::string out = m_root;
    if (out.empty() || out.back() != '/')
        out.push_back('/');
    AppendFolder(out, FolderOf(index));
    out.append(NameOf(index));
    return out;
}

std::vector<std::string> TGatheredFiles::Paths() const
{
    std::vector<std::string> out;
    out.reserve(size());
    for (std::size_t i = 0; i < size(); ++i)
        out.push_back(Path(i));
    return out;
}
