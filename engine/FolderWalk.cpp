#include "engine/FolderWalk.h"

#include "platform/DirReader.h"
#include "platform/FileReader.h"
#include "platform/Paths.h"
#include "engine/RunContext.h"
#include "engine/RunJournal.h"
#include "engine/VerifyWindow.h"

#include <algorithm>
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

// Helper threads for the walk: the sizes of a large folder's files are
// asked for on several threads at once. On a cold cache each size is a
// read of the disk, and many waiting at once let the disk serve them in its
// own order; on a warm one they share the cores. Made with the first such
// folder.
class TSizeHelpers
{
public:
    TSizeHelpers() = default;
    TSizeHelpers(const TSizeHelpers &) = delete;
    TSizeHelpers &operator=(const TSizeHelpers &) = delete;
    ~TSizeHelpers()
    {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_changed.notify_all();
        for (std::thread &t : m_threads)
            t.join();
    }

    // Gives the entries numbered in `files` their sizes; returns when all
    // have them.
    void SizeAll(const TDirReader &reader, std::vector<TDirEntry> &entries, const std::vector<std::size_t> &files)
    {
        // Handing work over costs more than a few hundred stats take.
        constexpr std::size_t kShareFrom = 256;
        if (files.size() < kShareFrom) {
            for (std::size_t i : files)
                reader.SizeOf(entries[i].name, entries[i].size);
            return;
        }
        while (m_threads.size() < kHelpers)
            m_threads.emplace_back(&TSizeHelpers::Serve, this);
        {
            std::lock_guard lock(m_mutex);
            m_reader = &reader;
            m_entries = &entries;
            m_files = &files;
            m_next = 0;
            m_busy = 0;
            ++m_round;
        }
        m_changed.notify_all();
        std::unique_lock lock(m_mutex);
        Work(lock);
        m_changed.wait(lock, [this] { return m_busy == 0; });
        m_files = nullptr;
    }

private:
    static constexpr std::size_t kHelpers = 7;
    static constexpr std::size_t kChunk = 64;

    // Takes chunks of the current folder's files until none is left.
    void Work(std::unique_lock<std::mutex> &lock)
    {
        ++m_busy;
        while (m_files && m_next < m_files->size()) {
            const std::size_t from = m_next, to = std::min(from + kChunk, m_files->size());
            m_next = to;
            const TDirReader &reader = *m_reader;
            std::vector<TDirEntry> &entries = *m_entries;
            const std::vector<std::size_t> &files = *m_files;
            lock.unlock();
            for (std::size_t i = from; i < to; ++i)
                reader.SizeOf(entries[files[i]].name, entries[files[i]].size);
            lock.lock();
        }
        if (--m_busy == 0)
            m_changed.notify_all();
    }

    void Serve()
    {
        std::unique_lock lock(m_mutex);
        std::uint64_t seen = 0;
        for (;;) {
            m_changed.wait(lock, [&] { return m_quit || m_round != seen; });
            if (m_quit)
                return;
            seen = m_round;
            Work(lock);
        }
    }

    std::mutex m_mutex; // guards what follows
    std::condition_variable m_changed;
    const TDirReader *m_reader = nullptr;
    std::vector<TDirEntry> *m_entries = nullptr;
    const std::vector<std::size_t> *m_files = nullptr; // null between folders
    std::size_t m_next = 0;   // the next file to size
    std::size_t m_busy = 0;   // threads sizing files now
    std::uint64_t m_round = 0; // counts the folders handed out
    bool m_quit = false;
    std::vector<std::thread> m_threads;
};

// Reads a folder's entries; false (with errno in `error`) when it cannot be
// listed at all.
bool ReadFolder(const std::string &folder, Frame &frame, int &error, TSizeHelpers *helper, const TWalkSink &sink)
{
    TDirReader reader(folder);
    if (reader.OpenError()) {
        error = reader.OpenError();
        return false;
    }
    frame.folder = folder;
    TDirEntry e;
    // The files' sizes (when wanted) are asked for once the listing is
    // read, shared out.
    std::vector<std::size_t> files;
    while (reader.Next(e, false)) {
        if (helper && e.kind == TEntryKind::File && !e.isLink && !sink.SizeKnown(folder, e.name, e.size))
            files.push_back(frame.entries.size());
        frame.entries.push_back(std::move(e));
    }
    frame.listError = reader.Error();
    if (helper)
        helper->SizeAll(reader, frame.entries, files);
    return true;
}

} // namespace

bool MatchesAMask(const TRunState &s, const std::string &path)
{
    for (const std::string &mask : s.maskList)
        if (MatchMask(mask, path, true))
            return true;
    return false;
}

namespace {

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

bool WalkTree(TRunContext &w, const std::string &root, TWalkSink &sink)
{
    TRunState &s = w.state;
    TSizeHelpers helpers;
    TSizeHelpers *const sizes = sink.WantSizes() ? &helpers : nullptr;
    std::vector<Frame> stack;
    {
        Frame first;
        first.index = sink.Root(root);
        int error = 0;
        if (!ReadFolder(root, first, error, sizes, sink))
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
            sink.Other(path, entry.other);
            continue;
        }
        if (entry.kind == TEntryKind::Directory) {
            if (entry.name != "." && entry.name != ".." && s.request.includeSubfolders) {
                sink.Folder(path);
                Frame child;
                int error = 0;
                if (ReadFolder(path, child, error, sizes, sink)) {
                    child.index = sink.Entered(top.index, entry.name);
                    stack.push_back(std::move(child));
                    continue; // `top` is stale from here on
                }
                w.NoteTrouble();
                w.Log("Folder skipped, it cannot be listed - " + path + " (" + ErrorText(error) + ")");
            }
        } else {
            sink.File(top.index, entry.name, path, entry.size);
        }
        if (!ShowTotalsAndPoll(w))
            return false;
    }
    return true;
}

namespace {

// The Source walk gathers what the run compares.
class TSourceSink : public TWalkSink
{
public:
    explicit TSourceSink(TRunContext &w) : m_w(w) {}
    std::uint32_t Root(const std::string &root) override
    {
        m_w.state.fileList.clear(root);
        return TGatheredFiles::kRoot;
    }
    bool SizeKnown(const std::string &folder, const std::string &name, std::uint64_t &size) const override
    {
        return m_w.state.journal && JournalSizeOf(m_w, IncludeTrailingSlash(folder) + name, size);
    }
    void Folder(const std::string &path) override
    {
        m_w.state.folderList.push_back(path);
        ++m_w.state.counters.folders;
    }
    std::uint32_t Entered(std::uint32_t parent, const std::string &name) override
    {
        return m_w.state.fileList.AddFolder(parent, name);
    }
    void File(std::uint32_t folder, const std::string &name, const std::string &path, std::uint64_t size) override
    {
        TRunState &s = m_w.state;
        if (!MatchesAMask(s, path))
            return;
        s.fileList.Add(folder, name);
        ++s.counters.files;
        s.counters.totalBytes += static_cast<double>(size);
    }
    void Other(const std::string &path, TOtherKind kind) override
    {
        if (MatchesAMask(m_w.state, path))
            NoteSkipped(m_w, path, kind);
    }

private:
    TRunContext &m_w;
};

} // namespace

bool WalkFolder(TRunContext &w, const std::string &root)
{
    TSourceSink sink(w);
    return WalkTree(w, root, sink);
}
