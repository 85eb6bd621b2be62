#include "engine/ChecksumCheck.h"

#include "engine/AlignedBlock.h"
#include "engine/BlockHasher.h"
#include "engine/BlockPairReader.h"
#include "engine/ByteCompare.h"
#include "engine/ChecksumFile.h"
#include "engine/EscapeControls.h"
#include "engine/OpenAhead.h"
#include "engine/RunContext.h"
#include "engine/TargetOnly.h"
#include "engine/VerifyWindow.h"
#include "platform/FileReader.h"
#include "platform/FolderHandle.h"
#include "platform/Paths.h"

#include <atomic>
#include <cerrno>
#include <sys/stat.h>

namespace {

const char kFileErrorText[] = "Can't perform one of the following file operations: Open, Seek, Read, Close.";

// What became of one listed file before its digest is known.
enum class TState { Waiting, Hashed, Missing, Unreadable, NotUsed, Stopped };

// A listed file, opened ahead of its reading.
struct TOpening {
    TFileReader file;
    int error = 0; // why it could not be opened
};

struct TItem {
    TState state = TState::Waiting;
    std::string path;          // the full path below the folder
    std::int64_t size = -1;
    std::string note;          // why it could not be read, or changed
    std::string hex;           // the digest read, once delivered
};

class TChecker
{
public:
    TChecker(TRunContext &run, const TChecksumList &list, const std::string &folder)
        : m_run(run), m_list(list), m_items(list.entries.size()),
          m_hasher([this](TBlockHasher::TDone &&done) {
              if (done.wanted)
                  m_items[done.tag].hex = std::move(done.hex);
              m_delivered.store(done.tag + 1, std::memory_order_release);
          })
    {
        const std::string base = IncludeTrailingSlash(folder);
        for (std::size_t i = 0; i < m_items.size(); ++i)
            m_items[i].path = base + list.entries[i].path;
    }

    // Sizes first, for the totals and the progress; nothing is opened.
    void TakeSizes(const TFolderHandle &root);
    void Run(const TFolderHandle &root);

private:
    void ReadOne(std::size_t index, TOpening &opening);
    // Logs and counts, in order, every item whose outcome is known.
    void Emit(bool all);
    void EmitOne(std::size_t index);
    void AddOverall(double bytes);

    TRunContext &m_run;
    const TChecksumList &m_list;
    std::vector<TItem> m_items;
    std::size_t m_handled = 0, m_emitted = 0;
    std::atomic<std::size_t> m_delivered {0}; // items below it have their digest
    TBlockHasher m_hasher;
};

void TChecker::AddOverall(double bytes)
{
    VerifyCounters &c = m_run.state.counters;
    c.overallBytesDone += bytes;
    m_run.Window().UpdateOverallBar(BarPosition(c.overallBytesDone, c.totalBytes), c.overallBytesDone);
}

void TChecker::TakeSizes(const TFolderHandle &root)
{
    VerifyCounters &c = m_run.state.counters;
    c.files = std::int32_t(m_items.size());
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        struct stat st {};
        if (root.StatEntry(m_list.entries[i].path, st, true) == 0 && S_ISREG(st.st_mode)) {
            m_items[i].size = std::int64_t(st.st_size);
            c.totalBytes += double(st.st_size);
        }
    }
    m_run.Window().ShowTotals(c.folders, c.files, c.totalBytes);
}

void TChecker::ReadOne(std::size_t index, TOpening &opening)
{
    TRunState &s = m_run.state;
    VerifyCounters &c = s.counters;
    IVerifyWindow &win = m_run.Window();
    TItem &item = m_items[index];
    const TChecksumEntry &entry = m_list.entries[index];
    c.sourceSize = c.targetSize = item.size < 0 ? 0 : double(item.size);
    c.fileBytesDone = 0;
    win.StartOverallBar(BarRange(c.totalBytes), c.totalBytes);
    win.ShowCurrentPair(item.path, item.path);

    TFileReader &file = opening.file;
    const int error = opening.error;
    if (error == ENOENT || error == ENOTDIR) {
        item.state = TState::Missing;
        AddOverall(c.sourceSize);
        return;
    }
    if (error == EXDEV || error == ELOOP) {
        item.state = TState::NotUsed;
        item.note = "leads out of the folder through a link, never opened";
        return;
    }
    if (error) {
        item.state = TState::Unreadable;
        item.note = ErrorText(error);
        return;
    }
    c.sourceSize = c.targetSize = double(file.Identity().size);
    item.size = std::int64_t(file.Identity().size);
    win.StartFileBar(BarRange(c.sourceSize));
    if (!s.blocks)
        s.blocks = std::make_unique<TBlockPairReader>();
    TAlignedBlock &block = s.blocks->SourceHolder();
    m_hasher.Begin(entry.kind);
    bool ended = false;
    for (;;) {
        if (m_run.Poll()) {
            item.state = TState::Stopped;
            break;
        }
        const std::int64_t n = file.Read(block.get(), std::size_t(kBlockSize));
        if (n < 0) {
            item.state = TState::Unreadable;
            item.note = ErrorText(file.Error());
            break;
        }
        if (n == 0) {
            ended = true;
            break;
        }
        m_hasher.Hand(block, std::size_t(n));
        c.fileBytesDone += double(n);
        win.UpdateFileBar(BarPosition(c.fileBytesDone, c.sourceSize));
        AddOverall(double(n));
    }
    if (ended) {
        // Bytes that changed while they were read prove nothing either way.
        if (!file.Unchanged())
            item.note = "changed while it was read";
        if (const int closeError = file.Close()) {
            item.state = TState::Unreadable;
            item.note = ErrorText(closeError);
        } else {
            item.state = TState::Hashed;
        }
    }
    m_hasher.End(index, item.state == TState::Hashed);
}

void TChecker::EmitOne(std::size_t index)
{
    TRunState &s = m_run.state;
    VerifyCounters &c = s.counters;
    IVerifyWindow &win = m_run.Window();
    const TItem &item = m_items[index];
    const TChecksumEntry &entry = m_list.entries[index];
    TReportRow row;
    row.target = item.path;
    row.size = item.size;
    std::string line;
    switch (item.state) {
    case TState::Waiting:
    case TState::Stopped:
        return; // uncounted, as a pair a stop interrupted
    case TState::NotUsed:
        ++s.linesNotUsed;
        m_run.NoteTrouble();
        m_run.Log("Checksum line " + std::to_string(entry.line) + " not used - " + item.note + ": " + entry.path);
        break;
    case TState::Missing:
        ++c.missing;
        line = "Target Missing - " + item.path;
        row.result = TReportResult::TargetMissing;
        break;
    case TState::Unreadable: {
        m_run.NoteTrouble();
        ++c.unreadable;
        const std::string named = item.path + " (" + item.note + ")";
        m_run.Log("File could not be read - " + named);
        row.result = TReportResult::Unreadable;
        row.note = item.note;
        win.ReportRow(row);
        win.ShowMessage("File Error", kFileErrorText + std::string("\n\n") + EscapeControls(named),
                        TMessageIcon::Error);
        break;
    }
    case TState::Hashed:
        if (!item.note.empty()) {
            m_run.NoteTrouble();
            m_run.Log("File changed while it was compared - " + item.path);
            row.note = item.note;
        }
        if (item.note.empty() && item.hex == entry.hash) {
            ++c.same;
            line = "Files Match - " + item.path;
            row.result = TReportResult::Match;
        } else {
            ++c.different;
            line = "Files Differ - " + item.path;
            row.result = TReportResult::Differ;
        }
        break;
    }
    ++c.filesChecked;
    if (!line.empty()) {
        win.AppendResultLine(row.result, EscapeControls(line));
        win.ReportRow(row);
    }
    win.ShowCounts(c.same, c.different, c.missing, c.filesChecked, c.files);
}

void TChecker::Emit(bool all)
{
    if (all)
        m_hasher.Drain();
    // Digests come in the order the files were read; only a file read whole
    // has one to wait for.
    const std::size_t delivered = m_delivered.load(std::memory_order_acquire);
    while (m_emitted < m_handled) {
        if (m_items[m_emitted].state == TState::Hashed && m_emitted >= delivered)
            break;
        EmitOne(m_emitted++);
    }
}

void TChecker::Run(const TFolderHandle &root)
{
    const bool fromDisk = m_run.state.request.fromDisk;
    // The files are opened a few ahead on a thread of their own, as a
    // verify's pairs are.
    TOpenAhead<TOpening> opener(m_items.size(), [&](std::size_t index, TOpening &slot) {
        slot.error = slot.file.OpenBelow(root, m_list.entries[index].path, fromDisk);
    });
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_run.Poll())
            break;
        TOpening &opening = opener.Take(i);
        ReadOne(i, opening);
        opening.file.Reset();
        opener.Done(i);
        m_handled = i + 1;
        Emit(false);
        if (m_items[i].state == TState::Stopped)
            break;
    }
    Emit(true);
}

} // namespace

bool CheckAgainstChecksums(TRunContext &run)
{
    TRunState &s = run.state;
    const VerifyRequest &r = s.request;
    IVerifyWindow &win = run.Window();
    run.Log("Begin check - Checksums: \"" + r.checkFile + "\" - Target: \"" + r.targetPath + "\"");
    TChecksumList list;
    std::string error;
    if (!ReadChecksumFile(r.checkFile, list, error)) {
        run.NoteTrouble();
        win.ShowMessage("Checksum File", EscapeControls(r.checkFile) + " is not a checksum file: " + error + ".",
                        TMessageIcon::Error);
        return false;
    }
    TFolderHandle root;
    if (const int rootError = root.OpenPath(r.targetPath)) {
        run.NoteTrouble();
        win.ShowMessage("Checksum File",
                        "The folder cannot be opened: " + EscapeControls(r.targetPath) + " (" + ErrorText(rootError) + ")",
                        TMessageIcon::Error);
        return false;
    }
    for (const TChecksumProblem &problem : list.problems) {
        ++s.linesNotUsed;
        run.NoteTrouble();
        run.Log("Checksum line " + std::to_string(problem.line) + " not used - " + problem.reason);
    }
    TChecker checker(run, list, r.targetPath);
    checker.TakeSizes(root);
    run.Log("Begin file comparison.");
    checker.Run(root);
    std::vector<std::string> listed;
    listed.reserve(list.entries.size());
    for (const TChecksumEntry &entry : list.entries)
        listed.push_back(entry.path);
    ListTargetOnly(run, listed, r.checkFile);
    return true;
}
