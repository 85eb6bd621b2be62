// quorvel-verify's terminal window writing to a pipe: the lines of results
// wait for a buffer's worth or a moment's age, and never come out after a
// line that followed them, on standard output or on standard error sharing
// its pipe (2>&1).
#include "cli/CliWindow.h"
#include "tests/common/QvlTestMain.h"

#include <QRegularExpression>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

using TClock = TCliProgress::TClock;

// Both ends of a pipe with room for more than the window holds; what is in
// it is read without waiting.
struct TPipe {
    int read = -1, write = -1;
    TPipe()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) == 0 && ::fcntl(fds[1], F_SETPIPE_SZ, 1 << 20) >= 0
            && ::fcntl(fds[0], F_SETFL, O_NONBLOCK) == 0) {
            read = fds[0];
            write = fds[1];
        }
    }
    ~TPipe()
    {
        for (int fd : {read, write})
            if (fd >= 0)
                ::close(fd);
    }
    // The lines in the pipe so far, without their "hh:mm:ss " stamps.
    QStringList Lines() const
    {
        QByteArray all;
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(read, buffer, sizeof buffer);
            if (n <= 0)
                break;
            all.append(buffer, qsizetype(n));
        }
        QStringList lines = QString::fromUtf8(all).split('\n', Qt::SkipEmptyParts);
        static const QRegularExpression stamp("^\\d\\d:\\d\\d:\\d\\d ");
        for (QString &l : lines)
            l.remove(stamp);
        return lines;
    }
};

CliOptions Options()
{
    CliOptions o;
    o.request.sourcePath = "/src";
    o.request.targetPath = "/dst";
    o.progress = TProgressMode::Off;
    return o;
}

} // namespace

class CliWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void resultLinesWaitButNeverComeOutOfOrder()
    {
        TPipe pipe;
        QVERIFY(pipe.write >= 0);
        TCliWindow window(Options(), pipe.write, pipe.write, -1);
        window.CaptureRequest();

        // Held while younger than the hold; written once the first is that
        // old.
        const auto before = TClock::now();
        window.AppendResultLine(TReportResult::Match, "Files Match - /dst/a");
        window.AppendResultLine(TReportResult::Differ, "Files Differ - /src/b");
        const auto after = TClock::now();
        QVERIFY(pipe.Lines().isEmpty());
        window.WriteHeldOlderThan(before + TCliWindow::kHoldFor - std::chrono::nanoseconds(1));
        QVERIFY(pipe.Lines().isEmpty());
        window.WriteHeldOlderThan(after + TCliWindow::kHoldFor);
        QCOMPARE(pipe.Lines(), QStringList({"Files Match - /dst/a", "Files Differ - /src/b"}));

        // Any other line of the log, and any message on standard error,
        // comes after the results held before it.
        window.AppendResultLine(TReportResult::Match, "Files Match - /dst/c");
        window.AppendRunLog(TLogKind::Note, "a note");
        window.AppendResultLine(TReportResult::TargetMissing, "Target Missing - /dst/d");
        window.ShowMessage("File Error", "a message", TMessageIcon::Error);
        QCOMPARE(pipe.Lines(), QStringList({"Files Match - /dst/c", "a note", "Target Missing - /dst/d",
                                            "File Error: a message"}));

        // A buffer's worth is written whatever its age.
        const QString line = "Files Match - /dst/" + QString(200, 'x');
        std::size_t bytes = 0;
        int held = 0;
        while (bytes < TCliWindow::kHoldBytes) {
            window.AppendResultLine(TReportResult::Match, line.toStdString());
            bytes += std::size_t(line.size()) + 1;
            ++held;
        }
        const QStringList written = pipe.Lines();
        QVERIFY(!written.isEmpty());
        QCOMPARE(written.size(), held);

        // The end of the run writes the rest.
        window.AppendResultLine(TReportResult::Match, "Files Match - /dst/last");
        QVERIFY(pipe.Lines().isEmpty());
        window.FinishRun(false, 0, VerifyCounters());
        const QStringList end = pipe.Lines();
        QVERIFY(!end.isEmpty());
        QCOMPARE(end.first(), "Files Match - /dst/last");
    }

    // A pipe whose reader went away fails when the held lines are written:
    // the run is told to stop, and its status says the log was not written.
    void heldLinesThatCannotBeWrittenStopTheRun()
    {
        const auto oldPipe = std::signal(SIGPIPE, SIG_IGN);
        TPipe out, err;
        ::close(out.read);
        out.read = -1;
        TCliWindow window(Options(), out.write, err.write, -1);
        bool stopped = false;
        window.SetStopRun([&] { stopped = true; });
        window.CaptureRequest();
        window.AppendResultLine(TReportResult::Match, "Files Match - /dst/a");
        QVERIFY(!stopped);
        VerifyCounters counters;
        counters.files = counters.filesChecked = counters.same = 1;
        QCOMPARE(window.FinishRun(false, 0, counters), 2);
        QVERIFY(stopped);
        QCOMPARE(err.Lines(),
                 QStringList {"quorvel-verify: cannot write to standard output (Broken pipe); the run stops"});
        std::signal(SIGPIPE, oldPipe);
    }
};

QVL_TEST_CORE_MAIN(CliWindowTest)
#include "CliWindowTest.moc"
