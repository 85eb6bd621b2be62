#include "engine/ByteCompare.h"

#include "engine/AttributeCheck.h"
#include "engine/BlockPairReader.h"
#include "engine/ChecksumRecorder.h"
#include "engine/DeleteMatching.h"
#include "engine/EscapeControls.h"
#include "platform/FileReader.h"
#include "engine/RunContext.h"
#include "engine/RunJournal.h"
#include "engine/VerifyWindow.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

std::int32_t BarRange(double size)
{
    return static_cast<std::int32_t>(size > kBarLimit ? kBarLimit : size);
}

std::int32_t BarPosition(double done, double size)
{
    if (size <= kBarLimit)
        return static_cast<std::int32_t>(done);
    return static_cast<std::int32_t>(done / size * kBarLimit);
}

namespace {

enum class Outcome { None, SourceMissing, TargetMissing, LengthsDiffer, FilesDiffer, FilesMatch };

const char kFileErrorText[] = "Can't perform one of the following file operations: Open, Seek, Read, Close.";

void AddOverall(TRunContext &w, double bytes)
{
    VerifyCounters &c = w.state.counters;
    c.overallBytesDone += bytes;
    w.Window().UpdateOverallBar(BarPosition(c.overallBytesDone, c.totalBytes), c.overallBytesDone);
}

enum class ReadResult { Match, Differ, Stopped, Failed };

// The file of a pair that could not be opened, read or closed, and why.
struct TReadFailure {
    std::string path;
    int error = 0;
    bool Failed() const { return !path.empty(); }
    void Set(const std::string &file, int err)
    {
        path = file;
        error = err;
    }
};

// In a delete mode, records the matching file of the side to be deleted with
// the identities the pair was proven with; true (and nothing recorded) when
// both paths name one file.
bool NoteForDeletion(TRunState &s, std::uint32_t pair, const TFileIdentity &sourceId, const TFileIdentity &targetId)
{
    const DeleteMode mode = s.request.deleteMode;
    if (mode == DeleteMode::None)
        return false;
    if (sourceId.SameFileAs(targetId))
        return true;
    const bool fromSource = mode == DeleteMode::Source;
    s.deleteList.Add(pair, fromSource ? sourceId : targetId, fromSource ? targetId : sourceId);
    return false;
}

// The end of every pair counted: its result line and report row, the
// note of a match that is one file, what its attributes showed (when they
// were compared: `attributesKept` names a match kept for them), the counts.
void EndPair(TRunContext &w, Outcome outcome, TReportRow &row, bool sameFile,
             const TAttributeCheck *attributes = nullptr, const std::string &attributesKept = {});

// Files from this size on are read on two threads at once.
constexpr std::uint64_t kConcurrentReadsFrom = 256 * 1024;

// The run's block buffers, made with the first pair that needs them.
TBlockPairReader &Blocks(TRunState &s)
{
    if (!s.blocks)
        s.blocks = std::make_unique<TBlockPairReader>();
    return *s.blocks;
}

// Reads both opened files of a pair in lockstep, block by block, into the
// run's buffers.
class TContentReader
{
public:
    TContentReader(TRunContext &run, const std::string &source, const std::string &target, TPairOpening &opening)
        : m_run(run), m_source(source), m_target(target), m_opening(opening)
    {
    }

    // `failure` names the file and the reason when the result is Failed.
    ReadResult Read(TReadFailure &failure);

private:
    TRunContext &m_run;
    const std::string &m_source;
    const std::string &m_target;
    TPairOpening &m_opening;
};

ReadResult TContentReader::Read(TReadFailure &failure)
{
    TRunContext &w = m_run;
    TRunState &s = w.state;
    VerifyCounters &c = s.counters;
    const std::string &source = m_source, &target = m_target;
    TFileReader &src = m_opening.source, &dst = m_opening.target;
    if (m_opening.sourceError) {
        failure.Set(source, m_opening.sourceError);
        return ReadResult::Failed;
    }
    if (m_opening.targetError) {
        failure.Set(target, m_opening.targetError);
        return ReadResult::Failed;
    }
    for (const TFileReader *f : {&src, &dst}) {
        if (f->FromMemory() && s.memoryDevicesLogged.insert(f->Identity().device).second)
            w.Log("Read from memory, this file system has no disk - " + (f == &src ? source : target),
                  TLogKind::Note);
    }
    w.Window().StartFileBar(BarRange(c.sourceSize));
    // The open files must still have the sizes that were compared, or a
    // side changed in between.
    if (double(src.Identity().size) != c.sourceSize || double(dst.Identity().size) != c.targetSize)
        return ReadResult::Differ;

    // Handing a read to the second thread costs more than reading a small
    // file's one block from the cache takes.
    const bool together = s.request.concurrentReads && src.Identity().size >= kConcurrentReadsFrom;
    for (int step = 0;; ++step) {
        if (w.Poll())
            return ReadResult::Stopped;
        std::int64_t n = 0, m = 0;
        const char *sourceBlock = nullptr, *targetBlock = nullptr;
        if (step < m_opening.readAheadSteps) {
            n = m_opening.readAheadCount[0][step];
            m = m_opening.readAheadCount[1][step];
            sourceBlock = m_opening.ReadAheadBlock(0, step);
            targetBlock = m_opening.ReadAheadBlock(1, step);
        } else {
            Blocks(s).Read(src, dst, together, n, m);
            sourceBlock = s.blocks->SourceBlock();
            targetBlock = s.blocks->TargetBlock();
        }
        if (n < 0) {
            failure.Set(source, src.Error());
            return ReadResult::Failed;
        }
        if (m < 0) {
            failure.Set(target, dst.Error());
            return ReadResult::Failed;
        }
        // A side that returns another count than the other, or more bytes
        // than its size, has changed since its size was taken: never a
        // match against stale buffer contents, and never a read without end
        // of a file that keeps growing.
        if (m != n || src.ReadPastSize() || dst.ReadPastSize())
            return ReadResult::Differ;
        if (n == 0)
            return ReadResult::Match;
        if (std::memcmp(sourceBlock, targetBlock, std::size_t(n)) != 0)
            return ReadResult::Differ;
        if (s.recorder) {
            TBlockPairReader &blocks = Blocks(s);
            if (sourceBlock != blocks.SourceBlock())
                std::memcpy(blocks.SourceBlock(), sourceBlock, std::size_t(n));
            s.recorder->Hand(blocks.SourceHolder(), std::size_t(n));
        }
        c.fileBytesDone += double(n);
        w.Window().UpdateFileBar(BarPosition(c.fileBytesDone, c.sourceSize));
        AddOverall(w, double(n));
        if (src.AtEnd() && dst.AtEnd())
            return ReadResult::Match;
    }
}

} // namespace

void TPairOpening::Clear()
{
    source.Reset();
    target.Reset();
    sourceFound = targetFound = false;
    sourceSeen = targetSeen = TFileIdentity();
    sourceError = targetError = 0;
    resumed = false;
    readAheadSteps = 0;
}

namespace {

// Each side's part of the read-ahead buffer: the whole file, then room for
// the read that finds its end (which a file that grew would fill).
constexpr std::size_t kReadAheadEnd = kDirectAlignment;
constexpr std::size_t kReadAheadSide = kReadAheadLimit + kReadAheadEnd;

// One side of a pair: opened, or found out why not. The open file tells
// what it is; only a file that is there but cannot be opened (no
// permission, say) is looked up by its path, for its size.
template <typename Open, typename Look>
bool OpenSide(Open open, Look look, TFileReader &reader, TFileIdentity &seen, int &error)
{
    const int e = open(reader);
    if (e == 0) {
        seen = reader.Identity();
        return true;
    }
    // Nothing there, or something that is not a regular file (EINVAL): a
    // name with '*' or '?' in it is a name here, never a pattern.
    if (e == ENOENT || e == ENOTDIR || e == EINVAL || e == ELOOP || !look(seen))
        return false;
    error = e;
    return true;
}

template <typename OpenSource, typename LookSource, typename OpenTarget, typename LookTarget>
void OpenPairWith(OpenSource openSource, LookSource lookSource, OpenTarget openTarget, LookTarget lookTarget,
                  TPairOpening &out)
{
    out.Clear();
    out.sourceFound = OpenSide(openSource, lookSource, out.source, out.sourceSeen, out.sourceError);
    if (!out.sourceFound)
        return;
    out.targetFound = OpenSide(openTarget, lookTarget, out.target, out.targetSeen, out.targetError);
    if (!out.targetFound || out.sourceSeen.size != out.targetSeen.size) {
        // Files of different sizes are never read.
        out.source.Reset();
        out.target.Reset();
        out.sourceError = out.targetError = 0;
    }
}

} // namespace

void OpenPair(const std::string &source, const std::string &target, bool fromDisk, TPairOpening &out)
{
    OpenPairWith([&](TFileReader &r) { return r.Open(source, fromDisk); },
                 [&](TFileIdentity &id) { return IdentityOf(source, id); },
                 [&](TFileReader &r) { return r.Open(target, fromDisk); },
                 [&](TFileIdentity &id) { return IdentityOf(target, id); }, out);
}

void OpenPairAt(int sourceFolder, int targetFolder, const char *name, bool fromDisk, TPairOpening &out)
{
    OpenPairWith([&](TFileReader &r) { return r.OpenAt(sourceFolder, name, fromDisk); },
                 [&](TFileIdentity &id) { return IdentityOfAt(sourceFolder, name, id); },
                 [&](TFileReader &r) { return r.OpenAt(targetFolder, name, fromDisk); },
                 [&](TFileIdentity &id) { return IdentityOfAt(targetFolder, name, id); }, out);
}

void OpenPairFrom(int sourceFolder, int targetFolder, const char *name, int sourceOpened, int targetOpened,
                  TPairOpening &out)
{
    bool targetTaken = false;
    OpenPairWith([&](TFileReader &r) { return r.Adopt(sourceOpened); },
                 [&](TFileIdentity &id) { return IdentityOfAt(sourceFolder, name, id); },
                 [&](TFileReader &r) {
                     targetTaken = true;
                     return r.Adopt(targetOpened);
                 },
                 [&](TFileIdentity &id) { return IdentityOfAt(targetFolder, name, id); }, out);
    // Opened together with a Source that is not there: never looked at.
    if (!targetTaken && targetOpened >= 0)
        ::close(targetOpened);
}

const char *TPairOpening::ReadAheadBlock(int side, int step) const
{
    return readAhead.get() + std::size_t(side) * kReadAheadSide + (step == 0 ? 0 : kReadAheadLimit);
}

namespace {

bool ReadsAhead(const TPairOpening &o)
{
    return o.sourceFound && o.targetFound && !o.sourceError && !o.targetError && o.sourceSeen.size == o.targetSeen.size
        && o.sourceSeen.size <= kReadAheadLimit;
}

} // namespace

char *ReadAheadSpace(TPairOpening &o, int side)
{
    if (!ReadsAhead(o))
        return nullptr;
    if (!o.readAhead)
        o.readAhead = NewAlignedBlock(2 * kReadAheadSide);
    return const_cast<char *>(o.ReadAheadBlock(side, 0));
}

namespace {

void ReadAhead(TPairOpening &o, bool closeAtEnd, TReadMadeElsewhere *made)
{
    o.readAheadSteps = 0;
    if (!ReadAheadSpace(o, 0))
        return;
    TFileReader *files[2] = {&o.source, &o.target};
    for (int step = 0; step < 2; ++step) {
        const std::size_t room = step == 0 ? kReadAheadLimit : kReadAheadEnd;
        for (int side = 0; side < 2; ++side) {
            char *at = const_cast<char *>(o.ReadAheadBlock(side, step));
            o.readAheadCount[side][step] = made && step == 0 ? files[side]->ReadAfter(at, room, made->first[side])
                                                             : files[side]->Read(at, room);
        }
        o.readAheadSteps = step + 1;
        // The comparison's loop would end here: a failure, a difference in
        // count, a file read past its size, or both at their ends (found by
        // a read that gave nothing, or known from their sizes).
        const std::int64_t n = o.readAheadCount[0][step], m = o.readAheadCount[1][step];
        if (n <= 0 || m != n || o.source.ReadPastSize() || o.target.ReadPastSize()
            || (o.source.AtEnd() && o.target.AtEnd())) {
            // Nothing more will be read of either file: whether they stayed
            // as they were is looked at now, and they are closed here, on
            // this thread, not on the comparison's.
            if (closeAtEnd) {
                for (int side = 0; side < 2; ++side) {
                    if (made)
                        made->detached[side] = files[side]->DetachAfterLastRead();
                    else
                        files[side]->CloseAfterLastRead();
                }
            }
            return;
        }
    }
}

} // namespace

void ReadPairAhead(TPairOpening &o, bool closeAtEnd)
{
    ReadAhead(o, closeAtEnd, nullptr);
}

void ReadPairAhead(TPairOpening &o, bool closeAtEnd, TReadMadeElsewhere &made)
{
    ReadAhead(o, closeAtEnd, &made);
}

void ComparePair(TRunContext &w, const std::string &source, const std::string &target)
{
    TPairOpening opening;
    OpenPair(source, target, w.state.request.fromDisk, opening);
    ComparePair(w, source, target, opening);
}

void ComparePair(TRunContext &w, const std::string &source, const std::string &target, TPairOpening &opening)
{
    // However the pair ends, its files are closed with it (a close that
    // fails is reported below, where it matters).
    struct Closer {
        TPairOpening &o;
        ~Closer() { o.Clear(); }
    } closer {opening};
    TRunState &s = w.state;
    VerifyCounters &c = s.counters;
    IVerifyWindow &win = w.Window();
    c.sourceSize = c.targetSize = c.fileBytesDone = 0;
    win.StartOverallBar(BarRange(c.totalBytes), c.totalBytes);

    Outcome outcome = Outcome::None;
    TReportRow row;
    row.source = source;
    row.target = target;
    bool sameFile = false; // a match whose two paths name one file
    TAttributeCheck attributes;
    std::string attributesKept; // a match kept for its attributes
    const TFileIdentity &sourceSeen = opening.sourceSeen, &targetSeen = opening.targetSeen;
    if (!opening.sourceFound) {
        outcome = Outcome::SourceMissing;
    } else if (!opening.targetFound) {
        outcome = Outcome::TargetMissing;
        c.sourceSize = double(sourceSeen.size);
        AddOverall(w, c.sourceSize);
    } else {
        c.sourceSize = double(sourceSeen.size);
        c.targetSize = double(targetSeen.size);
        if (sourceSeen.size != targetSeen.size) {
            outcome = Outcome::LengthsDiffer;
            AddOverall(w, c.sourceSize);
        } else {
            TFileReader &src = opening.source, &dst = opening.target;
            TReadFailure failure;
            // The recorder hashes what is read, and keeps it only for a
            // pair that ends proven.
            struct TRecording {
                TChecksumRecorder *recorder;
                const std::string &target;
                bool proven = false;
                ~TRecording()
                {
                    if (recorder)
                        recorder->EndPair(proven, target);
                }
            } recording {s.recorder.get(), target};
            if (recording.recorder)
                recording.recorder->BeginPair();
            ReadResult r = TContentReader(w, source, target, opening).Read(failure);
            if (r == ReadResult::Stopped)
                return;
            // What was read is what the open files held from start to end:
            // a side written to, truncated or touched meanwhile proves
            // nothing, whatever its bytes said.
            std::string changed;
            if (r == ReadResult::Match || r == ReadResult::Differ) {
                for (TFileReader *f : {&src, &dst}) {
                    const bool isSource = f == &src;
                    const double sizeSeen = isSource ? c.sourceSize : c.targetSize;
                    if (!f->Unchanged() || f->ReadPastSize() || double(f->Identity().size) != sizeSeen)
                        changed = isSource ? source : target;
                }
                if (!changed.empty())
                    r = ReadResult::Differ;
            }
            // Through the same open files, before they are closed.
            if (r == ReadResult::Match && s.request.compareAttributes)
                attributes = CheckAttributes(w, src, dst, source, target);
            if (r != ReadResult::Failed) {
                for (TFileReader *f : {&src, &dst}) {
                    if (int err = f->Close()) {
                        failure.Set(f == &src ? source : target, err);
                        break;
                    }
                }
            }
            if (!changed.empty()) {
                w.NoteTrouble();
                w.Log("File changed while it was compared - " + changed);
                row.note = "changed while it was compared: " + changed;
            }
            if (failure.Failed()) {
                w.NoteTrouble();
                ++c.unreadable;
                const std::string named = failure.path + " (" + ErrorText(failure.error) + ")";
                w.Log("File could not be read - " + named);
                row.result = TReportResult::Unreadable;
                row.note = ErrorText(failure.error);
                win.ShowMessage("File Error", kFileErrorText + std::string("\n\n") + EscapeControls(named),
                                TMessageIcon::Error);
            } else if (r == ReadResult::Differ) {
                outcome = Outcome::FilesDiffer;
            } else {
                outcome = Outcome::FilesMatch;
                recording.proven = true;
                if (!attributes.Holds() && s.request.deleteMode != DeleteMode::None
                    && !src.Identity().SameFileAs(dst.Identity())) {
                    attributesKept = s.request.deleteMode == DeleteMode::Source ? source : target;
                } else {
                    sameFile = NoteForDeletion(s, opening.pair, src.Identity(), dst.Identity());
                }
                // A pair whose attributes differ is compared again when the
                // run is taken up, so that the difference is said again.
                if (s.journal && attributes.Holds())
                    JournalProven(w, source, src.Identity(), dst.Identity());
            }
        }
    }
    if (opening.sourceFound)
        row.size = std::int64_t(sourceSeen.size);
    EndPair(w, outcome, row, sameFile, &attributes, attributesKept);
}

void CountProvenPair(TRunContext &w, std::uint32_t pair, const std::string &source, const std::string &target,
                     const TFileIdentity &sourceId, const TFileIdentity &targetId, const std::string &note)
{
    TReportRow row;
    row.source = source;
    row.target = target;
    row.size = std::int64_t(sourceId.size);
    row.note = note;
    EndPair(w, Outcome::FilesMatch, row, NoteForDeletion(w.state, pair, sourceId, targetId));
}

namespace {

void EndPair(TRunContext &w, Outcome outcome, TReportRow &row, bool sameFile, const TAttributeCheck *attributes,
             const std::string &attributesKept)
{
    TRunState &s = w.state;
    VerifyCounters &c = s.counters;
    IVerifyWindow &win = w.Window();
    const std::string &source = row.source, &target = row.target;
    std::string line;
    switch (outcome) {
    case Outcome::None:
        break;
    case Outcome::SourceMissing:
        ++c.missing;
        line = "Source Missing - " + source;
        row.result = TReportResult::SourceMissing;
        break;
    case Outcome::TargetMissing:
        ++c.missing;
        line = "Target Missing - " + target;
        row.result = TReportResult::TargetMissing;
        break;
    case Outcome::LengthsDiffer:
        ++c.different;
        line = "Lengths Differ - " + source;
        row.result = TReportResult::LengthsDiffer;
        break;
    case Outcome::FilesDiffer:
        ++c.different;
        line = "Files Differ - " + source;
        row.result = TReportResult::Differ;
        break;
    case Outcome::FilesMatch:
        ++c.same;
        line = "Files Match - " + (s.request.deleteMode == DeleteMode::Source ? source : target);
        row.result = TReportResult::Match;
        break;
    }
    ++c.filesChecked;
    if (outcome != Outcome::None)
        win.AppendResultLine(row.result, EscapeControls(line));
    if (outcome != Outcome::None || row.result == TReportResult::Unreadable)
        win.ReportRow(row);
    if (sameFile) {
        const std::string &kept = s.request.deleteMode == DeleteMode::Source ? source : target;
        w.Log(NotDeletedLine(kNotDeletedSameFile, kept));
        win.ReportRow({TReportResult::NotDeleted, source, target, row.size, kNotDeletedSameFile});
    }
    if (outcome == Outcome::FilesMatch && attributes)
        ReportAttributes(w, *attributes, s.request.deleteMode == DeleteMode::Source ? source : target, row,
                         attributesKept);
    win.ShowCounts(c.same, c.different, c.missing, c.filesChecked, c.files);
}

} // namespace
