#include "app/QvlMainRunBridge.h"

#include "app/QvlMainRun.h"

#include "engine/InfoThread.h"

#include <QMetaObject>
#include <QThread>

TRunMail TVerifyBridge::TakeMail()
{
    TRunMail taken;
    std::lock_guard lock(m_mutex);
    std::swap(taken, m_mail);
    return taken;
}

void TVerifyBridge::WaitWhileHeld()
{
    // Only the worker calls this; its own pointer is set before it starts
    // and kept until it has ended.
    if (TInfoThread *worker = m_control.Worker(); worker && QThread::currentThread() == worker)
        worker->Poll();
}

template <class Call>
auto TVerifyBridge::OnWindow(Call call) -> decltype(call())
{
    WaitWhileHeld();
    using Result = decltype(call());
    Result result {};
    auto onWindow = [&] {
        m_control.FlushDisplay();
        result = call();
    };
    if (QThread::currentThread() == m_control.thread())
        onWindow();
    else
        QMetaObject::invokeMethod(&m_control, onWindow, Qt::BlockingQueuedConnection);
    return result;
}

void TVerifyBridge::Prepare(VerifyRequest request)
{
    m_request = std::move(request);
}

TReportRows TVerifyBridge::TakeReportRows()
{
    TReportRows taken;
    std::lock_guard lock(m_rowsMutex);
    std::swap(taken, m_rows);
    return taken;
}

VerifyRequest TVerifyBridge::CaptureRequest()
{
    // Made at Start, before the worker began: the worker does not wait for
    // the window to come round to it.
    WaitWhileHeld();
    return m_request;
}

void TVerifyBridge::AppendRunLog(TLogKind kind, const std::string &line)
{
    WaitWhileHeld();
    std::lock_guard lock(m_mutex);
    m_mail.lines.push_back({true, kind, false, line});
}

void TVerifyBridge::AppendResultLine(TReportResult result, const std::string &line)
{
    WaitWhileHeld();
    std::lock_guard lock(m_mutex);
    m_mail.lines.push_back({false, TLogKind::PairResult, result == TReportResult::Match, line});
}

void TVerifyBridge::ShowTotals(std::int32_t folders, std::int32_t files, double totalBytes)
{
    WaitWhileHeld();
    std::lock_guard lock(m_mutex);
    m_mail.totals = true;
    m_mail.folders = folders;
    m_mail.totalBytes = totalBytes;
    m_mail.totalFiles = true;
    m_mail.files = files;
    m_mail.filesChecked = -1;
}

void TVerifyBridge::ShowCounts(std::int32_t same, std::int32_t different, std::int32_t missing,
                               std::int32_t filesChecked, std::int32_t files)
{
    WaitWhileHeld();
    std::lock_guard lock(m_mutex);
    m_mail.counts = true;
    m_mail.same = same;
    m_mail.different = different;
    m_mail.missing = missing;
    m_mail.totalFiles = true;
    m_mail.files = files;
    m_mail.filesChecked = filesChecked;
}

void TVerifyBridge::ShowCurrentPair(const std::string &source, const std::string &target)
{
    WaitWhileHeld();
    std::lock_guard lock(m_mutex);
    m_mail.pair = true;
    m_mail.source = source;
    m_mail.target = target;
}

void TVerifyBridge::StartFileBar(std::int32_t max)
{
    WaitWhileHeld();
    std::lock_guard lock(m_mutex);
    m_mail.fileRange = m_mail.filePosition = true;
    m_mail.fileMax = max;
    m_mail.filePos = 0;
}

void TVerifyBridge::UpdateFileBar(std::int32_t position)
{
    WaitWhileHeld();
    std::lock_guard lock(m_mutex);
    m_mail.filePosition = true;
    m_mail.filePos = position;
}

void TVerifyBridge::StartOverallBar(std::int32_t max, double totalBytes)
{
    WaitWhileHeld();
    std::lock_guard lock(m_mutex);
    m_mail.overallRange = true;
    m_mail.overallMax = max;
    m_mail.runTotalBytes = totalBytes;
}

void TVerifyBridge::UpdateOverallBar(std::int32_t position, double overallBytesDone)
{
    WaitWhileHeld();
    std::lock_guard lock(m_mutex);
    m_mail.overallPosition = true;
    m_mail.overallPos = position;
    m_mail.runBytesDone = overallBytesDone;
}

void TVerifyBridge::StopProgressTimer()
{
    WaitWhileHeld();
    std::lock_guard lock(m_mutex);
    m_mail.stopTimer = true;
}

void TVerifyBridge::ReportRow(const TReportRow &row)
{
    WaitWhileHeld();
    std::lock_guard lock(m_rowsMutex);
    m_rows.Append(row);
}

bool TVerifyBridge::ConfirmDelete(std::size_t count, DeleteMode side)
{
    return OnWindow([&] { return m_control.ConfirmDelete(count, side); });
}

bool TVerifyBridge::DeleteOnCancelChecked()
{
    return OnWindow([this] { return m_control.DeleteOnCancelChecked(); });
}

void TVerifyBridge::ShowMessage(const std::string &caption, const std::string &text, TMessageIcon icon)
{
    OnWindow([&] {
        m_control.ShowWorkerMessage(caption, text, icon);
        return true;
    });
}

bool TVerifyBridge::AskPermanentDelete(std::size_t count)
{
    return OnWindow([&] { return m_control.AskPermanentDelete(count); });
}

bool TVerifyBridge::AskStackedDelete(const std::string &question)
{
    return OnWindow([&] { return m_control.AskStackedDelete(question); });
}
