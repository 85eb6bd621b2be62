// Quorvel: the window program.
#include "app/QvlApplication.h"
#include "app/QvlMain.h"
#include "app/QvlPictures.h"
#include "app/QvlStartup.h"
#include "platform/TerminalIo.h"

int main(int argc, char **argv)
{
    // Before anything is opened: a file the program opens (a saved log, a
    // report) must never land on a closed standard stream, where a message
    // written to it would end up.
    if (!OpenClosedStandardStreams())
        return 2;
    TQvlApplication app(argc, argv);
    TQvlApplication::setApplicationName(QStringLiteral("quorvel"));
    TQvlApplication::setDesktopFileName(QStringLiteral("org.quorvel.Quorvel"));
    TQvlApplication::setWindowIcon(QIcon(QuorvelLogoPixmap(64)));
    try {
        TQvlApplication::SetTitle(QStringLiteral("Quorvel 2.1.3"));
        CreateForms();
        CatchStopSignalsForMainForm();
        MainForm->show();
        TQvlApplication::exec();
    } catch (...) {
        ShowException(std::current_exception());
    }
    DestroyForms();
    return 0;
}
