#include "engine/RunJournal.h"

#include "engine/ByteCompare.h"
#include "engine/ChecksumRecorder.h"
#include "engine/RunContext.h"
#include "engine/RunLogText.h"
#include "engine/VerifyWindow.h"
#include "platform/Digest.h"
#include "platform/Paths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The file begins with these 8 bytes; a journal of another layout has
// another version and is not read.
constexpr char kMagic[4] = {'Q', 'V', 'L', 'J'};
constexpr std::uint32_t kVersion = 1;
// Every batch: this mark, the payload's length, its SHA-256 in hex, the
// payload. The first batch holds the key and the file count.
constexpr char kBatchMark[4] = {'Q', 'V', 'L', 'B'};
constexpr std::size_t kBatchHead = 4 + 4 + 64;
// No batch this program writes comes near this; a length beyond it is a
// damaged file, not a reason to allocate.
constexpr std::uint32_t kBatchLimit = 64u << 20;
constexpr std::uint32_t kPathLimit = 1u << 16;

// A batch is written once this many records or this much time have
// gathered: a run killed outright loses no more than that, and no file
// costs a write of its own.
constexpr std::size_t kBatchRecords = 4096;
constexpr std::int64_t kBatchMs = 2000;
// A pair this large takes a while to read: what is gathered goes out first.
constexpr double kFlushBefore = 64.0 * 1024 * 1024;

std::int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Numbers are written little-endian, whatever the machine.
template <typename T>
void PutNumber(std::string &out, T v)
{
    char bytes[sizeof v];
    for (std::size_t i = 0; i < sizeof v; ++i)
        bytes[i] = char((v >> (8 * i)) & 0xff);
    out.append(bytes, sizeof bytes);
}

void PutU32(std::string &out, std::uint32_t v)
{
    PutNumber(out, v);
}

void PutU64(std::string &out, std::uint64_t v)
{
    PutNumber(out, v);
}

void PutText(std::string &out, const std::string &text)
{
    PutU32(out, std::uint32_t(text.size()));
    out += text;
}

void PutIdentity(std::string &out, const TFileIdentity &id)
{
    for (std::uint64_t v : {id.device, id.inode, id.size, std::uint64_t(id.mtimeSec), std::uint64_t(id.mtimeNsec),
                            std::uint64_t(id.ctimeSec), std::uint64_t(id.ctimeNsec)})
        PutU64(out, v);
}

void EncodeRecord(std::string &out, const TJournalRecord &r)
{
    PutText(out, r.relative);
    PutIdentity(out, r.source);
    PutIdentity(out, r.target);
    PutText(out, r.sha256);
}

std::string Sha256Hex(const char *data, std::size_t size)
{
    TDigest digest(TDigestKind::Sha256);
    digest.Update(data, size);
    return digest.FinishHex();
}

std::string Framed(const std::string &payload)
{
    std::string out(kBatchMark, sizeof kBatchMark);
    PutU32(out, std::uint32_t(payload.size()));
    out += Sha256Hex(payload.data(), payload.size());
    return out + payload;
}

// Reads what Put* wrote; every read is checked against the end.
class TReader
{
public:
    TReader(const char *data, std::size_t size) : m_p(data), m_end(data + size) {}
    template <typename T>
    bool Number(T &v)
    {
        if (std::size_t(m_end - m_p) < sizeof v)
            return false;
        v = 0;
        for (std::size_t i = 0; i < sizeof v; ++i)
            v |= T(static_cast<unsigned char>(m_p[i])) << (8 * i);
        m_p += sizeof v;
        return true;
    }
    bool U32(std::uint32_t &v) { return Number(v); }
    bool U64(std::uint64_t &v) { return Number(v); }
    bool Text(std::string &text, std::uint32_t limit)
    {
        std::uint32_t n = 0;
        if (!U32(n) || n > limit || std::size_t(m_end - m_p) < n)
            return false;
        text.assign(m_p, n);
        m_p += n;
        return true;
    }
    bool Identity(TFileIdentity &id)
    {
        std::uint64_t v[7];
        for (std::uint64_t &x : v)
            if (!U64(x))
                return false;
        id = {v[0], v[1], v[2], std::int64_t(v[3]), std::int64_t(v[4]), std::int64_t(v[5]), std::int64_t(v[6])};
        return true;
    }
    bool AtEnd() const { return m_p == m_end; }

private:
    const char *m_p;
    const char *m_end;
};

std::string Resolved(const std::string &path)
{
    std::error_code ec;
    const fs::path real = fs::canonical(fs::path(path), ec);
    return ec ? ExcludeTrailingSlash(path) : real.string();
}

} // namespace

std::string JournalKeyOf(const VerifyRequest &r)
{
    std::string key;
    PutText(key, Resolved(r.sourcePath));
    PutText(key, Resolved(r.targetPath));
    PutText(key, r.maskText);
    key += r.includeSubfolders ? 'S' : 's';
    key += r.includeHidden ? 'H' : 'h';
    key += r.fromDisk ? 'D' : 'd';
    // A run that compares attributes keeps only the pairs whose attributes
    // matched too; a run that does not has not looked at them.
    key += 'A' + std::to_string(r.compareAttributes);
    return key;
}

namespace {

QString FileName(const std::string &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// Reads the batches that follow the file's head into `out`, one at a time:
// the journal of a million files is never in memory as a whole. `size` is
// the file's length.
void ReadBatches(QFile &file, qint64 size, const std::string &key, TJournalContents &out)
{
    qint64 at = sizeof kMagic + 4;
    bool first = true;
    std::string head(kBatchHead, '\0');
    std::string payload;
    while (at < size) {
        const qint64 left = size - at;
        // A batch cut short, or a last one whose bytes did not all reach the
        // disk: the run died while writing it. Left out.
        if (left < qint64(kBatchHead))
            break;
        // The bytes are there by the file's size: a read that gets fewer
        // failed, and a journal read in part is not used.
        if (file.read(head.data(), qint64(kBatchHead)) != qint64(kBatchHead)) {
            out.problem = "it cannot be read: " + file.errorString().toStdString();
            return;
        }
        TReader lengthField(head.data() + 4, 4);
        std::uint32_t length = 0;
        if (!lengthField.U32(length) || length > kBatchLimit || left - qint64(kBatchHead) < qint64(length))
            break;
        payload.resize(length);
        if (file.read(payload.data(), qint64(length)) != qint64(length)) {
            out.problem = "it cannot be read: " + file.errorString().toStdString();
            return;
        }
        const bool last = at + qint64(kBatchHead) + qint64(length) == size;
        const bool sound = std::memcmp(head.data(), kBatchMark, sizeof kBatchMark) == 0 &&
                           head.compare(8, 64, Sha256Hex(payload.data(), length)) == 0;
        if (!sound) {
            if (last)
                break;
            out.problem = "it is damaged";
            return;
        }
        TReader r(payload.data(), length);
        if (first) {
            std::string itsKey;
            std::uint32_t files = 0;
            if (!r.Text(itsKey, kBatchLimit) || !r.U32(files) || !r.AtEnd()) {
                out.problem = "it is damaged";
                return;
            }
            if (itsKey != key) {
                out.problem = "it is the journal of another run";
                return;
            }
            out.files = std::int32_t(std::min<std::uint32_t>(files, 0x7fffffff));
            first = false;
        } else {
            TJournalRecord rec;
            while (!r.AtEnd()) {
                if (!r.Text(rec.relative, kPathLimit) || !r.Identity(rec.source) || !r.Identity(rec.target) ||
                    !r.Text(rec.sha256, 128) || rec.relative.empty()) {
                    out.problem = "it is damaged";
                    return;
                }
                out.records.Add(rec);
            }
        }
        at += qint64(kBatchHead) + qint64(length);
    }
    if (first) {
        out.problem = "it is incomplete";
        return;
    }
    out.records.Seal();
    out.usable = true;
}

} // namespace

// ------------------------------------------------------------------ records

std::uint64_t TJournalRecords::PathKey(std::string_view relative)
{
    return std::hash<std::string_view> {}(relative);
}

void TJournalRecords::clear()
{
    m_entries = {};
    m_keys = {};
    m_hashes = {};
}

void TJournalRecords::Add(const TJournalRecord &record)
{
    TEntry entry {PathKey(record.relative), record.source, record.target, kNone};
    if (!record.sha256.empty()) {
        entry.hash = std::uint32_t(m_hashes.size());
        m_hashes.push_back(record.sha256);
    }
    m_entries.push_back(entry);
}

void TJournalRecords::Seal()
{
    // In place: no second array of a million records while sorting. Of two
    // records with one key (a path written twice, or two paths whose hashes
    // collide) one is kept; either is only used where it holds.
    std::sort(m_entries.begin(), m_entries.end(), [](const TEntry &a, const TEntry &b) { return a.key < b.key; });
    m_entries.erase(std::unique(m_entries.begin(), m_entries.end(),
                                [](const TEntry &a, const TEntry &b) { return a.key == b.key; }),
                    m_entries.end());
    m_keys.resize(m_entries.size());
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        m_keys[i] = m_entries[i].key;
}

std::uint32_t TJournalRecords::Find(std::string_view relative) const
{
    const std::size_t n = m_keys.size();
    if (n == 0)
        return kNone;
    const std::uint64_t key = PathKey(relative);
    // The keys are hashes, spread evenly: the key's share of the range says
    // nearly where it is. From there the range to search is widened until
    // it holds the key's place.
    const std::size_t guess = std::size_t((unsigned __int128)key * n >> 64);
    std::size_t lo = guess, hi = guess + 1, step = 16;
    while (lo > 0 && m_keys[lo] > key) {
        lo = lo > step ? lo - step : 0;
        step *= 2;
    }
    step = 16;
    while (hi < n && m_keys[hi - 1] < key) {
        hi = n - hi > step ? hi + step : n;
        step *= 2;
    }
    const auto it = std::lower_bound(m_keys.begin() + std::ptrdiff_t(lo), m_keys.begin() + std::ptrdiff_t(hi), key);
    return it != m_keys.end() && *it == key ? std::uint32_t(it - m_keys.begin()) : kNone;
}

const std::string &TJournalRecords::HashOf(std::uint32_t i) const
{
    static const std::string none;
    const std::uint32_t h = m_entries[i].hash;
    return h == kNone ? none : m_hashes[h];
}

bool JournalKept(const VerifyRequest &request)
{
    return !request.singleFile && request.checkFile.empty() && !request.sourcePath.empty();
}

std::string JournalFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // Only an absolute path counts, as for every XDG folder.
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return QFile::encodeName(state).toStdString() + "/quorvel/runs";
}

std::string JournalPathOf(const VerifyRequest &request)
{
    const std::string key = JournalKeyOf(request);
    return JournalFolder() + "/" + Sha256Hex(key.data(), key.size()).substr(0, 32) + ".journal";
}

TJournalContents ReadJournal(const VerifyRequest &request)
{
    TJournalContents out;
    const std::string path = JournalPathOf(request);
    QFile file(FileName(path));
    if (!file.exists())
        return out;
    out.found = true;
    if (!file.open(QIODevice::ReadOnly)) {
        out.problem = "it cannot be read: " + file.errorString().toStdString();
        return out;
    }
    const qint64 size = file.size();
    char start[8] = {};
    std::uint32_t version = 0;
    if (file.read(start, sizeof start) != qint64(sizeof start) || std::memcmp(start, kMagic, sizeof kMagic) != 0 ||
        !TReader(start + 4, 4).U32(version)) {
        out.problem = file.error() != QFileDevice::NoError
                          ? "it cannot be read: " + file.errorString().toStdString()
                          : "it is no journal of this program";
        return out;
    }
    if (version != kVersion) {
        out.problem = "it was written by another version of this program";
        return out;
    }
    // A record takes some 130 bytes on disk: room for all of them at once.
    out.records.Reserve(std::size_t(size / 128));
    ReadBatches(file, size, JournalKeyOf(request), out);
    if (!out.usable)
        out.records.clear();
    return out;
}

void RemoveJournal(const VerifyRequest &request)
{
    std::error_code ec;
    fs::remove(JournalPathOf(request), ec);
}

void PruneJournals(int days)
{
    std::error_code ec;
    const auto oldest = fs::file_time_type::clock::now() - std::chrono::hours(24) * days;
    for (fs::directory_iterator it(JournalFolder(), ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        if (!it->is_regular_file(entryError))
            continue;
        const std::string name = it->path().filename().string();
        if (name.ends_with(".journal") || name.ends_with(".journal.new")) {
            const auto written = it->last_write_time(entryError);
            if (!entryError && written < oldest)
                fs::remove(it->path(), entryError);
        }
    }
}

// ------------------------------------------------------------------ writer

TJournalWriter::~TJournalWriter()
{
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0)
        WriteBatch();
    m_file.reset();
    if (!m_inPlace && !m_tempPath.empty()) {
        std::error_code ec;
        fs::remove(m_tempPath, ec);
    }
}

bool TJournalWriter::Open(const std::string &path, const std::string &keyText, std::int32_t files,
                          std::string &error)
{
    std::lock_guard lock(m_mutex);
    m_path = path;
    m_tempPath = path + ".new";
    QDir().mkpath(FileName(ParentFolder(path)));
    // The folder and the journal are the user's alone: they name the
    // user's files.
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QFile::setPermissions(FileName(ParentFolder(path)), ownerOnly | QFileDevice::ExeOwner);
    m_file = std::make_unique<QFile>(FileName(m_tempPath));
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered, ownerOnly)) {
        error = m_file->errorString().toStdString();
        m_file.reset();
        return false;
    }
    m_fd = 0;
    std::string head(kMagic, sizeof kMagic);
    PutU32(head, kVersion);
    std::string first;
    PutText(first, keyText);
    PutU32(first, std::uint32_t(std::max(files, 0)));
    head += Framed(first);
    if (m_file->write(head.data(), qint64(head.size())) != qint64(head.size())) {
        error = m_file->errorString().toStdString();
        m_file.reset();
        m_fd = -1;
        return false;
    }
    m_lastWriteMs = NowMs();
    return true;
}

void TJournalWriter::Add(const TJournalRecord &record)
{
    std::lock_guard lock(m_mutex);
    if (m_fd < 0)
        return;
    EncodeRecord(m_pending, record);
    ++m_pendingCount;
    // The clock is asked now and then only: a record costs less than that.
    if (m_pendingCount >= kBatchRecords || (m_pendingCount % 64 == 0 && NowMs() - m_lastWriteMs >= kBatchMs))
        WriteBatch();
}

void TJournalWriter::Flush(std::int64_t olderThanMs)
{
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0 && m_pendingCount > 0 && NowMs() - m_lastWriteMs >= olderThanMs)
        WriteBatch();
}

void TJournalWriter::WriteBatch()
{
    m_lastWriteMs = NowMs();
    if (m_pendingCount == 0 || !m_file)
        return;
    const std::string batch = Framed(m_pending);
    m_pending.clear();
    m_pending.reserve(batch.size());
    m_pendingCount = 0;
    if (m_file->write(batch.data(), qint64(batch.size())) != qint64(batch.size())) {
        m_failure = m_file->errorString().toStdString();
        m_file.reset();
        m_fd = -1;
        return;
    }
    // The journal replaces an earlier one only once it holds something: a
    // run that dies at once leaves the earlier progress as it was.
    if (!m_inPlace) {
        std::error_code ec;
        fs::rename(m_tempPath, m_path, ec);
        if (ec) {
            m_failure = ec.message();
            m_file.reset();
            m_fd = -1;
            return;
        }
        m_inPlace = true;
    }
}

void TJournalWriter::Remove()
{
    std::lock_guard lock(m_mutex);
    m_file.reset();
    m_fd = -1;
    m_pending.clear();
    m_pendingCount = 0;
    // An earlier journal of the same key goes too: the run it was of is
    // done now.
    std::error_code ec;
    if (!m_tempPath.empty())
        fs::remove(m_tempPath, ec);
    if (!m_path.empty())
        fs::remove(m_path, ec);
    m_inPlace = false;
    m_tempPath.clear();
}

std::string TJournalWriter::Failure() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

// ------------------------------------------------------------------ the run

void ReadEarlierJournal(TRunContext &run)
{
    TRunState &s = run.state;
    if (!JournalKept(s.request) || !s.request.resume)
        return;
    auto journal = std::make_unique<TRunJournal>();
    journal->earlier = ReadJournal(s.request);
    s.journal = std::move(journal);
}

bool JournalSizeOf(const TRunContext &run, const std::string &path, std::uint64_t &size)
{
    const TRunJournal *j = run.state.journal.get();
    if (!j || j->earlier.records.empty())
        return false;
    const std::uint32_t at = j->earlier.records.Find(RelativeTo(path, run.state.request.sourcePath));
    if (at == TJournalRecords::kNone)
        return false;
    size = j->earlier.records.At(at).source.size;
    return true;
}

void StartJournal(TRunContext &run)
{
    TRunState &s = run.state;
    if (!JournalKept(s.request))
        return;
    PruneJournals();
    if (!s.journal)
        s.journal = std::make_unique<TRunJournal>();
    TRunJournal &journal = *s.journal;
    const std::string path = JournalPathOf(s.request);
    VerifyCounters &c = s.counters;
    if (s.request.resume) {
        const TJournalContents &earlier = journal.earlier;
        if (!earlier.found) {
            run.Log("No unfinished run of these folders to resume: every file is compared.", TLogKind::Note);
        } else if (!earlier.usable) {
            run.Log("The journal of the unfinished run is not used, every file is compared (" + earlier.problem +
                        ") - " + path,
                    TLogKind::Note);
        } else if (earlier.records.empty()) {
            // Killed before its first batch was written whole.
            run.Log("The unfinished run of these folders had not proven a file yet: every file is compared.",
                    TLogKind::Note);
        } else {
            journal.recordOf.assign(s.fileList.size(), TJournalRecords::kNone);
            std::size_t named = 0;
            for (std::size_t i = 0; i < s.fileList.size(); ++i) {
                const std::uint32_t at = earlier.records.Find(s.fileList.Relative(i));
                if (at == TJournalRecords::kNone)
                    continue;
                journal.recordOf[i] = at;
                journal.credited += double(earlier.records.At(at).source.size);
                ++named;
            }
            run.Log("Resuming an unfinished run: " + FormatCount(double(earlier.records.size())) + " of " +
                        FormatCount(earlier.files) + " files were proven; " + FormatCount(double(named)) +
                        " of them are gathered again and are read only if they changed since.");
            // The pairs to be taken over count as done from the start, so
            // that the bar and the estimate tell what is really left.
            c.overallBytesDone += journal.credited;
            run.Window().StartOverallBar(BarRange(c.totalBytes), c.totalBytes);
            run.Window().UpdateOverallBar(BarPosition(c.overallBytesDone, c.totalBytes), c.overallBytesDone);
        }
    }
    std::string error;
    journal.writing = journal.writer.Open(path, JournalKeyOf(s.request), c.files, error);
    if (!journal.writing)
        run.Log("This run cannot be resumed if it is interrupted: its journal cannot be written - " + path + " (" +
                    error + ")",
                TLogKind::Note);
    if (s.recorder && journal.writing) {
        // Where checksums are recorded, a pair's record waits for its hash:
        // a resumed run must record the same lines as a full one.
        TRunJournal *j = &journal;
        s.recorder->SetOnRecorded([j](const std::string &name, const std::string &hex) {
            TJournalRecord record;
            {
                std::lock_guard lock(j->waitingMutex);
                const auto it = j->waitingHash.find(name);
                if (it == j->waitingHash.end())
                    return;
                record = std::move(it->second);
                j->waitingHash.erase(it);
            }
            record.sha256 = hex;
            j->writer.Add(record);
        });
    }
}

namespace {

// The earlier run's record of pair `index`, or kNone.
std::uint32_t RecordOf(const TRunJournal *j, std::size_t index)
{
    return j && index < j->recordOf.size() ? j->recordOf[index] : TJournalRecords::kNone;
}

} // namespace

bool ResumablePair(const TRunContext &run, std::size_t index, const TPairOpening &opening)
{
    const TRunJournal *j = run.state.journal.get();
    const std::uint32_t at = RecordOf(j, index);
    if (at == TJournalRecords::kNone)
        return false;
    const TJournalRecords::TEntry &r = j->earlier.records.At(at);
    // A run that records checksums needs every proven pair's hash.
    if (run.state.recorder && r.hash == TJournalRecords::kNone)
        return false;
    return opening.sourceFound && opening.targetFound && opening.sourceSeen == r.source &&
           opening.targetSeen == r.target;
}

bool ResumePair(TRunContext &run, std::size_t index, const std::string &source, const std::string &target,
                TPairOpening &opening)
{
    TRunState &s = run.state;
    TRunJournal *j = s.journal.get();
    const std::uint32_t at = RecordOf(j, index);
    if (at == TJournalRecords::kNone)
        return false;
    const TJournalRecords::TEntry &r = j->earlier.records.At(at);
    VerifyCounters &c = s.counters;
    if (!opening.resumed) {
        // Changed or gone since: compared as any other pair, whose bytes
        // count as they are read. The walk took its size from the journal:
        // the total gets the size it has now.
        c.overallBytesDone -= double(r.source.size);
        if (opening.sourceFound)
            c.totalBytes += double(opening.sourceSeen.size) - double(r.source.size);
        return false;
    }
    opening.Clear();
    ++c.resumed;
    c.resumedBytes += double(r.source.size);
    const std::string &hash = j->earlier.records.HashOf(at);
    if (s.recorder)
        s.recorder->AddKnown(target, hash);
    if (j->writing)
        j->writer.Add({s.fileList.Relative(index), r.source, r.target, hash});
    CountProvenPair(run, std::uint32_t(index), source, target, r.source, r.target, "resumed");
    return true;
}

void JournalProven(TRunContext &run, const std::string &source, const TFileIdentity &sourceId,
                   const TFileIdentity &targetId)
{
    TRunState &s = run.state;
    TRunJournal *j = s.journal.get();
    if (!j || !j->writing)
        return;
    TJournalRecord record {RelativeTo(source, s.request.sourcePath), sourceId, targetId, {}};
    if (s.recorder) {
        std::lock_guard lock(j->waitingMutex);
        std::string name = record.relative;
        j->waitingHash[std::move(name)] = std::move(record);
        return;
    }
    j->writer.Add(record);
}

void TickJournal(TRunContext &run, double nextSize)
{
    if (TRunJournal *j = run.state.journal.get())
        j->writer.Flush(nextSize >= kFlushBefore ? 0 : kBatchMs);
}

void FlushJournal(TRunContext &run)
{
    TRunJournal *j = run.state.journal.get();
    if (!j)
        return;
    // The hashes of the pairs proven so far first: their records wait for
    // them.
    if (run.state.recorder)
        run.state.recorder->Drain();
    j->writer.Flush();
}

void FinishJournal(TRunContext &run)
{
    TRunState &s = run.state;
    TRunJournal *j = s.journal.get();
    if (!j)
        return;
    if (s.recorder)
        s.recorder->SetOnRecorded({});
    if (!run.StopRequested()) {
        j->writer.Remove();
        return;
    }
    j->writer.Flush();
    const std::string failure = j->writer.Failure();
    if (!failure.empty())
        run.Log("This run cannot be resumed: its journal could not be written - " + j->writer.Path() + " (" +
                    failure + ")",
                TLogKind::Note);
}

void LogResumed(TRunContext &run)
{
    const VerifyCounters &c = run.state.counters;
    if (c.resumed > 0)
        run.Log("Resumed: " + FormatCount(c.resumed) + " files, " + FormatCount(c.resumedBytes) +
                    " bytes not read again",
                TLogKind::Summary);
}
