#include "engine/InfoThread.h"

#include "engine/AttributeCheck.h"
#include "engine/ByteCompare.h"
#include "engine/ChecksumCheck.h"
#include "engine/ChecksumRecorder.h"
#include "engine/DeleteMatching.h"
#include "engine/FolderWalk.h"
#include "engine/PairOpener.h"
#include "engine/TargetOnly.h"
#include "engine/RunJournal.h"
#include "platform/PathKind.h"
#include "platform/Paths.h"
#include "engine/RunLogText.h"
#include "engine/VerifyWindow.h"

#include <QElapsedTimer>

TInfoThread::TInfoThread(IVerifyWindow *window, QObject *parent)
    : QThread(parent), m_context(state, *window)
{
    // The thread's name as debuggers and `top -H` show it.
    setObjectName(QStringLiteral("InfoThread"));
}

TInfoThread::~TInfoThread()
{
    // A worker is only destroyed after its run; make sure of it.
    Terminate();
    Continue();
    wait();
}

void TInfoThread::run()
{
    Execute();
}

void TInfoThread::Execute()
{
    TRunContext &context = m_context;
    IVerifyWindow &window = context.Window();
    TRunState &s = state;
    QElapsedTimer clock;
    clock.start();
    s.request = window.CaptureRequest();
    s.fileList.clear(s.request.sourcePath);
    s.folderList.clear();
    s.deleteList.clear();
    s.journal.reset();
    if (!s.request.checkFile.empty()) {
        if (!CheckAgainstChecksums(context))
            return;
        window.ShowCurrentPair({}, {});
        window.StopProgressTimer();
    } else {
        if (!Verify())
            return;
    }
    LogSummary(clock);
}

bool TInfoThread::Verify()
{
    TRunContext &context = m_context;
    IVerifyWindow &window = context.Window();
    TRunState &s = state;
    context.Log("Begin verify - Source: \"" + s.request.sourcePath + "\" - Target: \"" + s.request.targetPath + "\"");
    if (!s.request.checksumsPath.empty() && !StartChecksums(context))
        return false;
    context.Log("Gathering file information.");

    if (s.request.singleFile) {
        s.counters.files = 1;
        s.counters.totalBytes = double(FileSizeOf(s.request.sourcePath));
        window.ShowTotals(s.counters.folders, s.counters.files, s.counters.totalBytes);
        context.Log("Begin file comparison.");
        ComparePair(context, s.request.sourcePath, s.request.targetPath);
    } else {
        s.maskList = ParseMasks(s.request.maskText);
        // A resumed run's walk takes the sizes of the proven files from
        // the journal of the earlier run.
        ReadEarlierJournal(context);
        if (!WalkFolder(context, s.request.sourcePath)) {
            if (!context.StopRequested()) {
                context.NoteTrouble();
                window.ShowMessage("Thread Status", "EnumDir failed", TMessageIcon::Error);
            }
            return false;
        }
        context.Log("Begin folder and file comparison.");
        if (s.request.deleteMode != DeleteMode::None)
            s.deleteList.Reserve(s.fileList.size());
        StartJournal(context);
        const std::string targetBase = IncludeTrailingSlash(s.request.targetPath);
        // The pairs are found, opened and (small ones) read by a pool of
        // readers, many ahead of the one compared here; a pair an unfinished
        // run proved, whose files have not changed since, is left closed.
        // Only a resumed run asks about each pair before opening it.
        TPairOpener::TLeaveClosed leaveClosed;
        if (s.journal && !s.journal->recordOf.empty())
            leaveClosed = [&context](std::size_t index, const TPairOpening &found) {
                return ResumablePair(context, index, found);
            };
        TPairOpener opener(s.fileList, targetBase, s.request.fromDisk, context.afterPairRead, std::move(leaveClosed),
                           s.request.compareAttributes != 0);
        if (context.waitingForPair)
            opener.OnWait(context.waitingForPair);
        for (std::size_t i = 0; i < s.fileList.size(); ++i) {
            if (context.Poll())
                break;
            TPairOpening *opening = opener.Take(i, context.StopFlag());
            if (!opening)
                break;
            const std::string source = s.fileList.Path(i);
            const std::string target = targetBase + s.fileList.Relative(i);
            window.ShowCurrentPair(source, target);
            if (!ResumePair(context, i, source, target, *opening)) {
                TickJournal(context, double(opening->sourceSeen.size));
                ComparePair(context, source, target, *opening);
            }
            opener.Done(i);
            if (context.afterPair)
                context.afterPair(i + 1);
        }
    }

    window.ShowTotals(s.counters.folders, s.counters.files, s.counters.totalBytes);
    window.ShowCurrentPair({}, {});
    window.StopProgressTimer();
    // The proof is in place before anything is deleted.
    FinishChecksums(context);
    ListTargetOnly(context);
    FinishJournal(context);

    // With nothing recorded for deletion there is nothing to confirm, also
    // after a cancel that asked to delete the matches so far.
    const bool stopped = context.StopRequested();
    if (!s.deleteList.empty() && (!stopped || window.DeleteOnCancelChecked())) {
        if (window.ConfirmDelete(s.deleteList.size(), s.request.deleteMode)) {
            context.Log("Begin deleting files.");
            DeleteMatching(context);
        } else {
            context.Log("Cancel without deleting matching files selected.");
        }
    }
    return true;
}

void TInfoThread::LogSummary(const QElapsedTimer &clock)
{
    TRunContext &context = m_context;
    TRunState &s = state;
    context.Log("Total number of files checked = " + FormatCount(s.counters.filesChecked), TLogKind::Summary);
    context.Log("Total number of matching files = " + FormatCount(s.counters.same), TLogKind::Summary);
    context.Log("Total number of missing files = " + FormatCount(s.counters.missing), TLogKind::Summary);
    context.Log("Total number of different files = " + FormatCount(s.counters.different), TLogKind::Summary);
    LogResumed(context);
    if (s.counters.unreadable > 0)
        context.Log("Total number of files that could not be read = " + FormatCount(s.counters.unreadable), TLogKind::Summary);
    if (s.counters.skipped > 0)
        context.Log("Total number of entries skipped, not regular files = " + FormatCount(s.counters.skipped), TLogKind::Summary);
    LogAttributesTotal(context);
    LogTargetOnlyTotal(context);
    if (s.linesNotUsed > 0)
        context.Log("Total number of checksum lines not used = " + FormatCount(s.linesNotUsed), TLogKind::Summary);
    context.Log("End file operations. Total elapsed time = " + FormatElapsed(clock.elapsed()) + " .", TLogKind::Summary);
}
