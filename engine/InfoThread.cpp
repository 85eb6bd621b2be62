#include "InfoThread.h"

#include "BlockPairReader.h"
#include "ByteCompare.h"
#include "DeleteMatching.h"
#include "EscapeControls.h"
#include "FolderWalk.h"
#include "PairOpener.h"
#include "PathKind.h"
#include "Paths.h"
#include "VerifyWindow.h"

#include <QLocale>
#include <QTime>

#include <cstdio>

std::string FormatCount(double value)
{
    return QLocale().toString(static_cast<qlonglong>(value)).toStdString();
}

std::string TimeStamp()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss")).toStdString();
}

std::string FormatElapsed(qint64 ms)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld:%03lld", ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
    return buf;
}

TInfoThread::TInfoThread(IVerifyWindow *window, QObject *parent)
    : QThread(parent), m_window(window)
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

void TInfoThread::Pause()
{
    m_paused.store(true);
}

void TInfoThread::Continue()
{
    m_paused.store(false);
    m_paused.notify_all();
}

bool TInfoThread::Poll()
{
    m_paused.wait(true);
    return m_stop.load();
}

void TInfoThread::Log(const std::string &message)
{
    // The names in a message are escaped with the rest: the program's own
    // texts hold no control characters.
    m_window->AppendRunLog(TimeStamp() + " " + EscapeControls(message));
}

void TInfoThread::Execute()
{
    m_clock.start();
    request = m_window->CaptureRequest();
    Log("Begin verify - Source: \"" + request.sourcePath + "\" - Target: \"" + request.targetPath + "\"");

    fileList.clear();
    folderList.clear();
    deleteList.clear();
    Log("Gathering file information.");

    if (request.singleFile) {
        counters.files = 1;
        counters.totalBytes = double(FileSizeOf(request.sourcePath));
        m_window->ShowTotals(counters.folders, counters.files, counters.totalBytes);
        Log("Begin file comparison.");
        ComparePair(*this, request.sourcePath, request.targetPath);
    } else {
        maskList = ParseMasks(request.maskText);
        if (!WalkFolder(*this, request.sourcePath)) {
            if (!StopRequested()) {
                NoteTrouble();
                m_window->ShowMessage("Thread Status", "EnumDir failed", TMessageIcon::Error);
            }
            return;
        }
        Log("Begin folder and file comparison.");
        const std::string targetBase = IncludeTrailingSlash(request.targetPath);
        const auto targetOf = [&](const std::string &source) {
            return targetBase + RelativeTo(source, request.sourcePath);
        };
        // The pairs are found and opened on a second thread, a few ahead of
        // the one compared here.
        TPairOpener opener(fileList, targetOf, request.fromDisk);
        for (std::size_t i = 0; i < fileList.size(); ++i) {
            if (Poll())
                break;
            const std::string &source = fileList[i];
            const std::string target = targetOf(source);
            TPairOpening &opening = opener.Take(i);
            m_window->ShowCurrentPair(source, target);
            ComparePair(*this, source, target, opening);
            opener.Done(i);
        }
    }

    m_window->ShowTotals(counters.folders, counters.files, counters.totalBytes);
    m_window->ShowCurrentPair({}, {});
    m_window->StopProgressTimer();

    // With nothing recorded for deletion there is nothing to confirm, also
    // after a cancel that asked to delete the matches so far.
    const bool stopped = StopRequested();
    if (!deleteList.empty() && (!stopped || m_window->DeleteOnCancelChecked())) {
        if (m_window->ConfirmDelete(deleteList.size(), request.deleteMode)) {
            Log("Begin deleting files.");
            DeleteMatching(*this);
        } else {
            Log("Cancel without deleting matching files selected.");
        }
    }

    Log("Total number of files checked = " + FormatCount(counters.filesChecked));
    Log("Total number of matching files = " + FormatCount(counters.same));
    Log("Total number of missing files = " + FormatCount(counters.missing));
    Log("Total number of different files = " + FormatCount(counters.different));
    if (counters.unreadable > 0)
        Log("Total number of files that could not be read = " + FormatCount(counters.unreadable));
    Log("End file operations. Total elapsed time = " + FormatElapsed(m_clock.elapsed()) + " .");
}
