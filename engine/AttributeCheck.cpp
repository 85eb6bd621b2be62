#include "engine/AttributeCheck.h"

#include "engine/DeleteMatching.h"
#include "engine/EscapeControls.h"
#include "engine/RunContext.h"
#include "engine/RunLogText.h"
#include "engine/VerifyWindow.h"
#include "platform/FileAttributes.h"
#include "platform/FileReader.h"

TAttributeCheck CheckAttributes(TRunContext &w, const TFileReader &source, const TFileReader &target,
                                const std::string &sourcePath, const std::string &targetPath)
{
    TRunState &s = w.state;
    TAttributeCheck check;
    check.done = true;
    if (!s.attributes)
        s.attributes = std::make_unique<TAttributeComparer>(s.request.compareAttributes);
    int failedSide = 0;
    check.error = s.attributes->Compare(source.Descriptor(), target.Descriptor(), check.differing, failedSide);
    if (check.error) {
        w.NoteTrouble();
        w.Log("Attributes could not be read - " + (failedSide == 0 ? sourcePath : targetPath) + " (" +
              ErrorText(check.error) + ")");
    }
    return check;
}

void ReportAttributes(TRunContext &w, const TAttributeCheck &check, const std::string &shownPath,
                      const TReportRow &pairRow, const std::string &kept)
{
    if (check.Holds())
        return;
    IVerifyWindow &win = w.Window();
    if (!check.differing.empty()) {
        ++w.state.counters.attributesDiffer;
        const std::string what = JoinAttributeNames(check.differing);
        win.AppendResultLine(TReportResult::AttributesDiffer,
                             EscapeControls("Attributes Differ - " + shownPath + " (" + what + ")"));
        win.ReportRow({TReportResult::AttributesDiffer, pairRow.source, pairRow.target, pairRow.size, what});
    }
    if (!kept.empty()) {
        const char *why = check.error ? kNotDeletedAttributesUnread : kNotDeletedAttributes;
        w.Log(NotDeletedLine(why, kept));
        win.ReportRow({TReportResult::NotDeleted, pairRow.source, pairRow.target, pairRow.size, why});
    }
}

void LogAttributesTotal(TRunContext &w)
{
    if (w.state.request.compareAttributes)
        w.Log("Total number of files whose attributes differ = " +
                  FormatCount(w.state.counters.attributesDiffer),
              TLogKind::Summary);
}
