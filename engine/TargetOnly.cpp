#include "engine/TargetOnly.h"

#include "engine/EscapeControls.h"
#include "engine/FolderWalk.h"
#include "engine/RunContext.h"
#include "engine/RunLogText.h"
#include "engine/VerifyWindow.h"
#include "platform/EntryProbe.h"
#include "platform/Paths.h"

namespace {

class TTargetSink : public TWalkSink
{
public:
    explicit TTargetSink(TRunContext &w)
        : m_w(w), m_sourceBase(IncludeTrailingSlash(w.state.request.sourcePath)),
          m_targetRoot(w.state.request.targetPath)
    {
    }
    void Folder(const std::string &) override {}
    void Other(const std::string &, TOtherKind) override {}
    void File(const std::string &path, std::uint64_t size) override
    {
        const std::string source = m_sourceBase + RelativeTo(path, m_targetRoot);
        if (!MatchesAMask(m_w.state, source))
            return;
        const TEntryProbe probe = ProbeEntry(source);
        // A folder of that name is no copy of the file; a link is looked at
        // no further, as the Source walk does not follow one to a folder.
        if (probe.exists && !(probe.isDir && !probe.isLink))
            return;
        ++m_w.state.counters.targetOnly;
        m_w.Window().AppendResultLine(EscapeControls("Target Only - " + path));
        m_w.Window().ReportRow({TReportResult::TargetOnly, std::string(), path, std::int64_t(size), std::string()});
    }

private:
    TRunContext &m_w;
    const std::string m_sourceBase;
    const std::string &m_targetRoot;
};

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
    w.Log("Looking for files only in the Target.");
    TTargetSink sink(w);
    if (!WalkTree(w, r.targetPath, sink) && !w.StopRequested()) {
        w.NoteTrouble();
        w.Log("Target folder cannot be listed, its other files are not known - " + r.targetPath);
    }
}

void LogTargetOnlyTotal(TRunContext &w)
{
    const VerifyRequest &r = w.state.request;
    if (r.listTargetOnly && !r.singleFile && r.checkFile.empty())
        w.Log("Total number of files only in the Target = " + FormatCount(w.state.counters.targetOnly),
              TLogKind::Summary);
}
