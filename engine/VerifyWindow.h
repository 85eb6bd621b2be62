// What the verify worker sees of the window: the calls it hands to the
// window's thread. The main window implements this by running each call on
// its own thread; the command-line verifier and the tests implement it
// directly.
//
// Two kinds of call:
//  - Display calls (AppendRunLog ... ReportRow) carry copies of
//    everything they show. They may be queued without the worker waiting, but
//    must be carried out in the order they were made. They must be cheap: the
//    walk makes one per directory entry, the comparison one per block.
//  - Calls that read the window or need an answer (CaptureRequest,
//    ConfirmDelete, DeleteOnCancelChecked, ShowMessage, AskPermanentDelete,
//    AskStackedDelete)
//    wait until the window's thread has answered; display calls made before
//    them have been carried out by then.
#pragma once

#include "engine/VerifyTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>

enum class TMessageIcon { Error, Information };

class IVerifyWindow
{
public:
    virtual ~IVerifyWindow() = default;

    // Enables the window's Cancel and returns the run's settings.
    virtual VerifyRequest CaptureRequest() = 0;

    // A run-log line, already stamped "hh:mm:ss ", and what kind of line it
    // is (never PairResult): to the log pane and the verify log.
    virtual void AppendRunLog(TLogKind kind, const std::string &line) = 0;
    // A per-file result line (no stamp, kind PairResult) and what became of
    // the pair: to the verify log only.
    virtual void AppendResultLine(TReportResult result, const std::string &line) = 0;
    // Folder, file and byte totals of the walk.
    virtual void ShowTotals(std::int32_t folders, std::int32_t files, double totalBytes) = 0;
    // Result counts; the file total then reads "checked/files".
    virtual void ShowCounts(std::int32_t same, std::int32_t different, std::int32_t missing,
                            std::int32_t filesChecked, std::int32_t files) = 0;
    // The pair being compared (full paths; the window shortens them to fit).
    // Both empty when the comparison is over.
    virtual void ShowCurrentPair(const std::string &source, const std::string &target) = 0;
    // Bar ranges and positions are already clamped to the signed 32-bit range.
    virtual void StartFileBar(std::int32_t max) = 0;
    virtual void UpdateFileBar(std::int32_t position) = 0;
    virtual void StartOverallBar(std::int32_t max, double totalBytes) = 0;
    virtual void UpdateOverallBar(std::int32_t position, double overallBytesDone) = 0;
    virtual void StopProgressTimer() = 0;
    // A row of the run's report: every pair compared, every file a deletion
    // took or kept. A display call; a window without a report ignores it.
    virtual void ReportRow(const TReportRow &) {}

    // Shows the delete confirmation for `count` matching files of `side`;
    // true when the user chose to delete.
    virtual bool ConfirmDelete(std::size_t count, DeleteMode side) = 0;
    // Whether "Cancel and delete matching files so far" is checked. Asked
    // only after a stop request.
    virtual bool DeleteOnCancelChecked() = 0;
    // A modal message box with OK. The names in `text` are escaped already
    // (EscapeControls); its line breaks part its paragraphs.
    virtual void ShowMessage(const std::string &caption, const std::string &text, TMessageIcon icon) = 0;
    // Some paths could not go to the trash: delete them permanently?
    virtual bool AskPermanentDelete(std::size_t count) = 0;
    // The matching files or their copies are on a file system stacked on
    // other folders, whose layers cannot be told: delete anyway? A window
    // that cannot ask keeps the files.
    virtual bool AskStackedDelete(const std::string &question)
    {
        (void)question;
        return false;
    }
};
