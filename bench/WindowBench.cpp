// One verify run through the real main window, offscreen, every question
// answered yes: how long the run takes from Start to its completion, and how
// often the window showed the run's progress meanwhile. With
// --problems-only, the verify log shows only the problems from the start,
// as a user who chose "Show Problems Only" sees it.
//   window-bench [--problems-only] SOURCE TARGET
// Prints: seconds=<run time> turns=<display turns> per_second=<turns/s>
// window_cpu=<CPU seconds the window's thread spent during the run>
// and, on a second line, how the log handles what the run left in it:
// lines=<lines in the verify log> scroll_ms=<the slowest of 400 scroll steps
// over the whole log, each painted> scroll_avg_ms=<their mean>
// filter_ms=<Show Problems Only turned on and off again>
// peak_rss_kb=<the process's peak resident memory>
#include "app/QvlApplication.h"
#include "app/QvlMain.h"
#include "app/QvlMainRun.h"
#include "app/QvlStartup.h"

#include "app/RunLogModel.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <sys/resource.h>

int main(int argc, char **argv)
{
    const bool problemsOnly = argc == 4 && std::strcmp(argv[1], "--problems-only") == 0;
    if (argc != 3 && !problemsOnly) {
        std::fprintf(stderr, "usage: window-bench [--problems-only] SOURCE TARGET\n");
        return 2;
    }
    const char *source = argv[argc - 2];
    const char *target = argv[argc - 1];
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TQvlApplication app(argc, argv);
    CreateForms();
    TMainForm &form = *MainForm;

    QElapsedTimer clock;
    // CPU time of the window's thread: what the run display takes from the
    // worker's cores.
    const auto threadCpu = [] {
        timespec now {};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return now.tv_sec + now.tv_nsec / 1e9;
    };
    double cpuAtStart = 0, cpuAtEnd = 0;
    qint64 finishedAt = -1;
    long turnsAtEnd = 0;
    QString outcome;
    // Scrolling the log the run left, while the window still shows it:
    // jumps over its whole length, then pages down, each step painted at
    // once; then the filter turned on and off.
    auto *log = form.findChild<QListView *>(QStringLiteral("ListBoxV"));
    double slowest = 0, total = 0, filterMs = 0;
    const int steps = 400;
    const auto measureLog = [&] {
        if (log) {
            QScrollBar *bar = log->verticalScrollBar();
            QElapsedTimer step;
            for (int i = 0; i < steps; ++i) {
                step.start();
                if (i < steps / 2)
                    bar->setValue(int(qint64(bar->maximum()) * ((i * 7919) % (steps / 2)) / (steps / 2)));
                else
                    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
                log->viewport()->repaint();
                const double ms = step.nsecsElapsed() / 1e6;
                slowest = std::max(slowest, ms);
                total += ms;
            }
            QElapsedTimer filter;
            filter.start();
            form.RunControl->ProblemsOnlyAction()->setChecked(!problemsOnly);
            log->viewport()->repaint();
            form.RunControl->ProblemsOnlyAction()->setChecked(problemsOnly);
            log->viewport()->repaint();
            filterMs = filter.nsecsElapsed() / 1e6;
        }
    };
    form.MessageBox = [&](const QString &, const QString &text, int, int buttons) {
        if (text.startsWith(QLatin1String("Operation "))) {
            finishedAt = clock.nsecsElapsed();
            cpuAtEnd = threadCpu();
            turnsAtEnd = form.RunControl->DisplayTurns();
            outcome = text;
            QTimer::singleShot(0, &app, [&] {
                measureLog();
                QCoreApplication::quit();
            });
        }
        return (buttons & QMessageBox::Yes) ? int(QMessageBox::Yes) : int(QMessageBox::Ok);
    };
    form.show();

    // The window's widgets, found by their names as a test finds them.
    auto *editSource = form.findChild<QLineEdit *>(QStringLiteral("EditSource"));
    auto *editTarget = form.findChild<QLineEdit *>(QStringLiteral("EditTarget"));
    auto *startBtn = form.findChild<QToolButton *>(QStringLiteral("StartBtn"));
    if (!editSource || !editTarget || !startBtn) {
        std::fprintf(stderr, "window-bench: the window has no EditSource, EditTarget or StartBtn\n");
        DestroyForms();
        return 2;
    }
    editSource->setText(QFile::decodeName(source));
    editTarget->setText(QFile::decodeName(target));
    form.RunControl->ProblemsOnlyAction()->setChecked(problemsOnly);
    if (!startBtn->isEnabled()) {
        std::fprintf(stderr, "window-bench: Start is not enabled for these paths\n");
        DestroyForms();
        return 2;
    }
    QTimer::singleShot(0, &form, [&] {
        clock.start();
        cpuAtStart = threadCpu();
        startBtn->click();
    });
    app.exec();

    const double seconds = finishedAt / 1e9;
    std::printf("seconds=%.3f turns=%ld per_second=%.1f window_cpu=%.3f outcome=%s\n", seconds, turnsAtEnd,
                seconds > 0 ? turnsAtEnd / seconds : 0.0, cpuAtEnd - cpuAtStart,
                qPrintable(outcome.trimmed()));

    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("lines=%d scroll_ms=%.2f scroll_avg_ms=%.2f filter_ms=%.1f peak_rss_kb=%ld\n",
                form.RunControl->LogModel().LineCount(), slowest, total / steps, filterMs, usage.ru_maxrss);
    DestroyForms();
    return finishedAt < 0 ? 1 : 0;
}
