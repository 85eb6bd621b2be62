// One verify run through the real main window, offscreen, every question
// answered yes: how long the run takes from Start to its completion, and how
// often the window showed the run's progress meanwhile. With
// --problems-only, the verify log shows only the problems from the start,
// as a user who chose "Show Problems Only" sees it.
//   window-bench [--problems-only] SOURCE TARGET
// Prints: seconds=<run time> turns=<display turns> per_second=<turns/s>
// window_cpu=<CPU seconds the window's thread spent during the run>
#include "app/QvlApplication.h"
#include "app/QvlMain.h"
#include "app/QvlMainRun.h"
#include "app/QvlStartup.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

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
    form.MessageBox = [&](const QString &, const QString &text, int, int buttons) {
        if (text.startsWith(QLatin1String("Operation "))) {
            finishedAt = clock.nsecsElapsed();
            cpuAtEnd = threadCpu();
            turnsAtEnd = form.RunControl->DisplayTurns();
            outcome = text;
            QTimer::singleShot(0, &app, &QCoreApplication::quit);
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
    DestroyForms();
    return finishedAt < 0 ? 1 : 0;
}
