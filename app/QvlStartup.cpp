#include "app/QvlStartup.h"

#include "app/CancelMessageForm.h"
#include "app/DeleteMsgForm.h"
#include "app/QvlAbout.h"
#include "app/QvlMain.h"
#include "app/Quorvellogo.h"
#include "platform/StopSignals.h"

#include <QApplication>

#include <memory>

namespace {

std::unique_ptr<TStopSignalNotifier> g_stopSignals;

} // namespace

void CreateForms()
{
    FrameQvlLogo = new TFrameQvlLogo();
    MainForm = new TMainForm();
    AboutForm = new TAboutForm(MainForm);
    CancelForm = new TCancelForm(MainForm);
    DeleteBox = new TDeleteBox(MainForm);
}

TStopSignalNotifier *CatchStopSignalsForMainForm()
{
    g_stopSignals = std::make_unique<TStopSignalNotifier>();
    QObject::connect(g_stopSignals.get(), &TStopSignalNotifier::stopRequested, MainForm, [] {
        if (MainForm && !QApplication::activeModalWidget())
            MainForm->close();
    });
    return g_stopSignals.get();
}

void DestroyForms()
{
    g_stopSignals.reset();
    delete DeleteBox;
    DeleteBox = nullptr;
    delete CancelForm;
    CancelForm = nullptr;
    delete AboutForm;
    AboutForm = nullptr;
    delete MainForm;
    MainForm = nullptr;
    delete FrameQvlLogo;
    FrameQvlLogo = nullptr;
}
