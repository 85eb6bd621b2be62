// Quorvel: the window program.
#include "app/QvlApplication.h"
#include "app/QvlMain.h"
#include "app/QvlPictures.h"
#include "app/QvlStartup.h"

int main(int argc, char **argv)
{
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
