// Quorvel: the window program.
#include "QvlApplication.h"
#include "QvlMain.h"
#include "QvlPictures.h"
#include "QvlStartup.h"
#include "StopSignals.h"

int main(int argc, char **argv)
{
    TQvlApplication app(argc, argv);
    TQvlApplication::setApplicationName(QStringLiteral("quorvel"));
    TQvlApplication::setDesktopFileName(QStringLiteral("org.quorvel.Quorvel"));
    TQvlApplication::setWindowIcon(QIcon(QuorvelLogoPixmap(64)));
    try {
        TQvlApplication::SetTitle(QStringLiteral("Quorvel 2.1.3"));
        CreateForms();
        // SIGTERM, SIGHUP and Ctrl+C in the terminal close the window as its
        // close button does: during a run that is Cancel, which asks first.
        // While a question is open the window cannot be closed; neither can
        // a signal close it then.
        TStopSignalNotifier stopSignals;
        QObject::connect(&stopSignals, &TStopSignalNotifier::stopRequested, MainForm, [] {
            if (!QApplication::activeModalWidget())
                MainForm->close();
        });
        MainForm->show();
        TQvlApplication::exec();
    } catch (...) {
        ShowException(std::current_exception());
    }
    DestroyForms();
    return 0;
}
