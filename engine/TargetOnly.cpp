#include "engine/TargetOnly.h"

#include "engine/EscapeControls.h"
#include "engine/FolderWalk.h"
#include "engine/RunContext.h"
#include "engine/RunLogText.h"
#include "engine/VerifyWindow.h"
#include "platform/EntryProbe.h"
#include "platform/FileIdentity.h"
#include "platform/Paths.h"

#include <functional>
#include <set>

namespace {

// Names each Target file that `hasCounterpart` does not know.
class TTargetSink : public TWalkSink
{
public:
    using TCounterpart = std::function<bool(const std::string &relative)>;
    // `ownFile`, when not empty, is a file this program wrote (the
    // checksum file), which is never named.
    TTargetSink(TRunContext &w, TCounterpart hasCounterpart, const std::string &ownFile)
        : m_w(w), m_targetRoot(w.state.request.targetPath), m_hasCounterpart(std::move(hasCounterpart))
    {
        m_haveOwn = !ownFile.empty() && IdentityOf(ownFile, m_own);
    }
    void Folder(const std::string &) override {}
    void Other(const std::string &, TOtherKind) override {}
    void File(std::uint32_t, const std::string &, const std::string &path, std::uint64_t size) override
    {
        if (m_hasCounterpart(RelativeTo(path, m_targetRoot)))
            return;
        TFileIdentity seen;
        if (m_haveOwn && IdentityOf(path, seen) && seen.SameFileAs(m_own))
            return;
        ++m_w.state.counters.targetOnly;
        m_w.Window().AppendResultLine(TReportResult::TargetOnly, EscapeControls("Target Only - " + path));
        m_w.Window().ReportRow({TReportResult::TargetOnly, std::string(), path, std::int64_t(size), std::string()});
    }

private:
    TRunContext &m_w;
    const std::string &m_targetRoot;
    TCounterpart m_hasCounterpart;
    TFileIdentity m_own;
    bool m_haveOwn = false;
};

void WalkTarget(TRunContext &w, TTargetSink &sink)
{
    const std::string &target = w.state.request.targetPath;
    w.Log("Looking for files only in the Target.");
    if (!WalkTree(w, target, sink) && !w.StopRequested()) {
        w.NoteTrouble();
        w.Log("Target folder cannot be listed, its other files are not known - " + target);
    }
}

} // namespace

void ListTargetOnly(TRunContext &w)
{
    const VerifyRequest &r = w.state.request;
    if (!r.listTargetOnly || w.StopRequested())
        return;
    if (r.singleFile) {
        w.Log("Target-only files are looked for only when two folders are compared.", TLogKind::Note);
        return;
    }
    const std::string sourceBase = IncludeTrailingSlash(r.sourcePath);
    TTargetSink sink(w, [&w, &sourceBase](const std::string &relative) {
        const std::string source = sourceBase + relative;
        // The masks take the files the Source walk took: matched against
        // the path the file has in the Source.
        if (!MatchesAMask(w.state, source))
            return true;
        const TEntryProbe probe = ProbeEntry(source);
        // A folder of that name is no copy of the file; a link is looked at
        // no further, as the Source walk does not follow one to a folder.
        return probe.exists && !(probe.isDir && !probe.isLink);
    }, w.state.checksumsWritten);
    WalkTarget(w, sink);
}

void ListTargetOnly(TRunContext &w, const std::vector<std::string> &listed, const std::string &checksumFile)
{
    if (!w.state.request.listTargetOnly || w.StopRequested())
        return;
    const std::set<std::string> known(listed.begin(), listed.end());
    TTargetSink sink(w, [&known](const std::string &relative) { return known.count(relative) > 0; }, checksumFile);
    WalkTarget(w, sink);
}

void LogTargetOnlyTotal(TRunContext &w)
{
    const VerifyRequest &r = w.state.request;
    if (r.listTargetOnly && !r.singleFile)
        w.Log("Total number of files only in the Target = " + FormatCount(w.state.counters.targetOnly),
              TLogKind::Summary);
}
