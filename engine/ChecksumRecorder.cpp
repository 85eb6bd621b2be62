#include "engine/ChecksumRecorder.h"

#include "engine/BlockHasher.h"
#include "engine/ChecksumFile.h"
#include "engine/EscapeControls.h"
#include "engine/RunContext.h"
#include "engine/RunLogText.h"
#include "engine/VerifyWindow.h"
#include "platform/Paths.h"

#include <QDateTime>
#include <QDir>
#include <QSaveFile>

namespace {

// Lines are written out in pieces of about this size.
constexpr std::size_t kWriteFrom = 256 * 1024;

QString FileName(const std::string &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace

TChecksumRecorder::TChecksumRecorder(std::string path, std::string targetRoot, bool singleFile)
    : m_path(std::move(path)), m_targetRoot(std::move(targetRoot)), m_singleFile(singleFile)
{
}

TChecksumRecorder::~TChecksumRecorder()
{
    // The hashing thread goes first: it writes into the file. An unfinished
    // file is dropped with its temporary name.
    m_hasher.reset();
}

bool TChecksumRecorder::Open(const std::vector<std::string> &comments, std::string &error)
{
    QDir().mkpath(FileName(ParentFolder(m_path)));
    m_file = std::make_unique<QSaveFile>(FileName(m_path));
    if (!m_file->open(QIODevice::WriteOnly)) {
        error = m_file->errorString().toStdString();
        m_file.reset();
        return false;
    }
    for (const std::string &comment : comments)
        m_buffer += "# " + comment + "\n";
    m_hasher = std::make_unique<TBlockHasher>([this](TBlockHasher::TDone &&done) {
        TNamed named;
        TOnRecorded onRecorded;
        {
            std::lock_guard lock(m_mutex);
            named = std::move(m_names[m_nextName++]);
            if (!done.wanted && named.known.empty())
                return;
            ++m_count;
            onRecorded = m_onRecorded;
        }
        const std::string &hex = done.wanted ? done.hex : named.known;
        Append(ChecksumLine(hex, named.name));
        if (onRecorded)
            onRecorded(named.name, hex);
    });
    return true;
}

void TChecksumRecorder::Append(const std::string &line)
{
    m_buffer += line;
    m_buffer += '\n';
    if (m_buffer.size() < kWriteFrom)
        return;
    if (m_failure.empty() && m_file->write(m_buffer.data(), qint64(m_buffer.size())) != qint64(m_buffer.size()))
        m_failure = m_file->errorString().toStdString();
    m_buffer.clear();
}

void TChecksumRecorder::BeginPair()
{
    m_hasher->Begin(TDigestKind::Sha256);
}

void TChecksumRecorder::Hand(TAlignedBlock &block, std::size_t size)
{
    m_hasher->Hand(block, size);
}

std::string TChecksumRecorder::NameOf(const std::string &targetPath) const
{
    return m_singleFile ? targetPath.substr(targetPath.rfind('/') + 1) : RelativeTo(targetPath, m_targetRoot);
}

void TChecksumRecorder::Queue(std::string name, std::string known, bool proven)
{
    {
        std::lock_guard lock(m_mutex);
        m_names.push_back({std::move(name), std::move(known)});
    }
    m_hasher->End(m_pairs++, proven);
}

void TChecksumRecorder::EndPair(bool proven, const std::string &targetPath)
{
    Queue(proven ? NameOf(targetPath) : std::string(), {}, proven);
}

void TChecksumRecorder::AddKnown(const std::string &targetPath, const std::string &hex)
{
    // Through the hashing thread, with no bytes: its line comes out in
    // order with the others'.
    m_hasher->Begin(TDigestKind::Sha256);
    Queue(NameOf(targetPath), hex, false);
}

void TChecksumRecorder::Drain()
{
    m_hasher->Drain();
}

void TChecksumRecorder::SetOnRecorded(TOnRecorded onRecorded)
{
    std::lock_guard lock(m_mutex);
    m_onRecorded = std::move(onRecorded);
}

std::size_t TChecksumRecorder::Count() const
{
    std::lock_guard lock(m_mutex);
    return m_count;
}

bool TChecksumRecorder::Finish(std::string &error)
{
    m_hasher->Drain();
    if (m_failure.empty() && !m_buffer.empty() &&
        m_file->write(m_buffer.data(), qint64(m_buffer.size())) != qint64(m_buffer.size()))
        m_failure = m_file->errorString().toStdString();
    m_buffer.clear();
    if (m_failure.empty() && !m_file->commit())
        m_failure = m_file->errorString().toStdString();
    if (!m_failure.empty()) {
        m_file->cancelWriting();
        error = m_failure;
        return false;
    }
    return true;
}

bool StartChecksums(TRunContext &run)
{
    TRunState &s = run.state;
    const VerifyRequest &r = s.request;
    auto recorder = std::make_unique<TChecksumRecorder>(r.checksumsPath, r.targetPath, r.singleFile);
    const QDateTime now = QDateTime::currentDateTime();
    // The file says what it proves. Names are escaped: a comment is one line.
    const std::vector<std::string> comments = {
        std::string("SHA-256 of the files Quorvel " QVL_VERSION " proved identical, byte by byte"),
        "Source: " + EscapeControls(r.sourcePath),
        "Target: " + EscapeControls(r.targetPath),
        // With the offset from UTC: the file may be read anywhere.
        "Date: " + now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate).toStdString(),
        r.fromDisk ? std::string("Bytes read from the disks (--from-disk)")
                   : std::string("Bytes read through the page cache (not --from-disk)"),
        "Check with: sha256sum -c FILE (in the Target folder), or quorvel-verify --check FILE TARGET",
    };
    std::string error;
    if (!recorder->Open(comments, error)) {
        run.NoteTrouble();
        run.Log("Checksums cannot be recorded - " + r.checksumsPath + " (" + error + ")");
        run.Window().ShowMessage("Record Checksums",
                                 "The checksum file cannot be written:\n\n" + EscapeControls(r.checksumsPath) +
                                     " (" + error + ")",
                                 TMessageIcon::Error);
        return false;
    }
    s.recorder = std::move(recorder);
    return true;
}

void FinishChecksums(TRunContext &run)
{
    TRunState &s = run.state;
    if (!s.recorder)
        return;
    std::string error;
    TChecksumRecorder &recorder = *s.recorder;
    if (!recorder.Finish(error)) {
        run.NoteTrouble();
        run.Log("Checksums could not be written - " + recorder.Path() + " (" + error + ")");
    } else {
        const std::string count = FormatCount(double(recorder.Count()));
        run.Log(std::string(run.StopRequested() ? "Run cancelled: checksums of the " + count +
                                                      " files proven so far saved - "
                                                : "Checksums of " + count + " matching files saved - ") +
                    recorder.Path(),
                TLogKind::Summary);
        s.checksumsWritten = recorder.Path();
    }
    s.recorder.reset();
}
