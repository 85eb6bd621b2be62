#include "engine/FolderWalk.h"

#include "platform/DirReader.h"
#include "platform/FileReader.h"
#include "platform/Paths.h"
#include "engine/RunContext.h"
#include "engine/VerifyWindow.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

std::vector<std::string> ParseMasks(const std::string &maskText)
{
    if (maskText.find("*.*") != std::string::npos)
        return {"*"};
    std::vector<std::string> masks;
    std::size_t start = 0;
    for (;;) {
        const std::size_t semi = maskText.find(';', start);
        if (semi == std::string::npos) {
            if (start < maskText.size())
                masks.push_back(maskText.substr(start));
            return masks;
        }
        masks.push_back(maskText.substr(start, semi - start));
        start = semi + 1;
    }
}

namespace {

inline char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

} // namespace

bool MatchMask(const std::string &mask, const std::string &text, bool ignoreCase)
{
    std::size_t m = 0, t = 0;
    // Where to try again after a mismatch: the mask just past the last '*',
    // and the text one byte further than that star took last time.
    bool haveResume = false;
    std::size_t resumeMask = 0, resumeText = 0;

    while (t < text.size()) {
        const char mc = m < mask.size() ? mask[m] : '\0';
        if (m < mask.size() && mc == '*') {
            ++m;
            if (m == mask.size())
                return true;
            haveResume = true;
            resumeMask = m;
            resumeText = t + 1;
        } else if (m < mask.size() && mc == '?') {
            ++m;
            ++t;
        } else {
            const bool equal = m < mask.size() &&
                (ignoreCase ? FoldAscii(mc) == FoldAscii(text[t]) : mc == text[t]);
            if (equal) {
                ++m;
                ++t;
            } else if (!haveResume) {
                return false;
            } else {
                m = resumeMask;
                t = resumeText;
                ++resumeText;
            }
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

namespace {

// One folder being walked: its entries, read in full when the folder is
// entered so that no folder stays open while its subfolders are walked (a
// deep tree would otherwise run out of file descriptors).
struct Frame {
    std::string folder;          // as walked, without a trailing '/' added
    std::uint32_t index = TGatheredFiles::kRoot; // in the run's fileList
    std::vector<TDirEntry> entries;
    std::size_t next = 0;        // the entry to look at next
    int listError = 0;           // the listing broke off with this errno
};

// A second thread for the walk: the sizes of a large folder's files are
// asked for on two cores at once. Made with the first such folder.
class TSizeHelper
{
public:
    TSizeHelper() = default;
    TSizeHelper(const TSizeHelper &) = delete;
    TSizeHelper &operator=(const TSizeHelper &) = delete;
    ~TSizeHelper()
    {
        if (!m_thread.joinable())
            return;
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    // Gives the entries numbered in `files` their sizes; returns when all
    // have them.
    void SizeAll(const TDirReader &reader, std::vector<TDirEntry> &entries, const std::vector<std::size_t> &files)
    {
        const auto sizeRange = [&](std::size_t from, std::size_t to) {
            for (std::size_t i = from; i < to; ++i)
                reader.SizeOf(entries[files[i]].name, entries[files[i]].size);
        };
        // Handing work over costs more than a few hundred stats take.
        constexpr std::size_t kShareFrom = 512;
        if (files.size() < kShareFrom) {
            sizeRange(0, files.size());
            return;
        }
        if (!m_thread.joinable())
            m_thread = std::thread(&TSizeHelper::Serve, this);
        const std::size_t half = files.size() / 2;
        {
            std::lock_guard lock(m_mutex);
            m_job = [&] { sizeRange(half, files.size()); };
        }
        m_changed.notify_all();
        sizeRange(0, half);
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_job; });
    }

private:
    void Serve()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_quit || m_job; });
            if (m_quit)
                return;
            lock.unlock();
            m_job();
            lock.lock();
            m_job = nullptr;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<void()> m_job; // set while the helper has work
    bool m_quit = false;
    std::thread m_thread;
};

// Reads a folder's entries; false (with errno in `error`) when it cannot be
// listed at all.
bool ReadFolder(const std::string &folder, Frame &frame, int &error, TSizeHelper &helper)
{
    TDirReader reader(folder);
    if (reader.OpenError()) {
        error = reader.OpenError();
        return false;
    }
    frame.folder = folder;
    TDirEntry e;
    // The files' sizes are asked for once the listing is read, shared out.
    std::vector<std::size_t> files;
    while (reader.Next(e, false)) {
        if (e.kind == TEntryKind::File && !e.isLink)
            files.push_back(frame.entries.size());
        frame.entries.push_back(std::move(e));
    }
    frame.listError = reader.Error();
    helper.SizeAll(reader, frame.entries, files);
    return true;
}

bool MatchesAMask(const TRunState &s, const std::string &path)
{
    for (const std::string &mask : s.maskList)
        if (MatchMask(mask, path, true))
            return true;
    return false;
}

const char *OtherKindText(TOtherKind kind)
{
    switch (kind) {
    case TOtherKind::DanglingLink:
        return "link leading nowhere";
    case TOtherKind::LinkLoop:
        return "link loop";
    case TOtherKind::Fifo:
        return "FIFO";
    case TOtherKind::Device:
        return "device";
    case TOtherKind::Socket:
        return "socket";
    case TOtherKind::None:
    case TOtherKind::Unknown:
        break;
    }
    return "cannot be looked at";
}

// An entry the walk would have gathered but for what it is: nothing proves
// its copy, so the run says so instead of looking complete. It is never
// opened (a FIFO would wait for a writer).
void NoteSkipped(TRunContext &w, const std::string &path, TOtherKind kind)
{
    TRunState &s = w.state;
    ++s.counters.skipped;
    const std::string what = OtherKindText(kind);
    w.Log("Skipped, not a regular file - " + path + " (" + what + ")", TLogKind::Note);
    const std::string target =
        IncludeTrailingSlash(s.request.targetPath) + RelativeTo(path, s.request.sourcePath);
    w.Window().ReportRow({TReportResult::Skipped, path, target, -1, what});
}

// After each listed entry: the totals go to the window, then the stop check.
bool ShowTotalsAndPoll(TRunContext &w)
{
    const VerifyCounters &c = w.state.counters;
    w.Window().ShowTotals(c.folders, c.files, c.totalBytes);
    return !w.Poll();
}

} // namespace

bool WalkFolder(TRunContext &w, const std::string &root)
{
    TRunState &s = w.state;
    s.fileList.clear(root);
    TSizeHelper helper;
    std::vector<Frame> stack;
    {
        Frame first;
        int error = 0;
        if (!ReadFolder(root, first, error, helper))
            return false;
        stack.push_back(std::move(first));
    }

    while (!stack.empty()) {
        Frame &top = stack.back();
        if (top.next == top.entries.size()) {
            if (top.listError && !w.StopRequested()) {
                w.NoteTrouble();
                w.Log("Folder listing broke off - " + top.folder + " (" + ErrorText(top.listError) + ")");
                w.Window().ShowMessage("EnumDir Error", "Error # = " + std::to_string(top.listError),
                                       TMessageIcon::Error);
            }
            stack.pop_back();
            // The folder's own entry in its parent is done only now.
            if (!stack.empty() && !ShowTotalsAndPoll(w))
                return false;
            continue;
        }

        const TDirEntry entry = std::move(top.entries[top.next++]);
        if (entry.kind == TEntryKind::Directory && entry.isLink)
            continue;
        if (!s.request.includeHidden && IsHiddenName(entry.name))
            continue;

        const std::string path = IncludeTrailingSlash(top.folder) + entry.name;
        if (entry.kind == TEntryKind::Other) {
            if (MatchesAMask(s, path))
                NoteSkipped(w, path, entry.other);
            continue;
        }
        if (entry.kind == TEntryKind::Directory) {
            if (entry.name != "." && entry.name != ".." && s.request.includeSubfolders) {
                s.folderList.push_back(path);
                ++s.counters.folders;
                Frame child;
                int error = 0;
                if (ReadFolder(path, child, error, helper)) {
                    child.index = s.fileList.AddFolder(top.index, entry.name);
                    stack.push_back(std::move(child));
                    continue; // `top` is stale from here on
                }
                w.NoteTrouble();
                w.Log("Folder skipped, it cannot be listed - " + path + " (" + ErrorText(error) + ")");
            }
        } else if (MatchesAMask(s, path)) {
            s.fileList.Add(top.index, entry.name);
            ++s.counters.files;
            s.counters.totalBytes += static_cast<double>(entry.size);
        }
        if (!ShowTotalsAndPoll(w))
            return false;
    }
    return true;
}
