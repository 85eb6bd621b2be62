#include "QvlStartup.h"

#include "CancelMessageForm.h"
#include "DeleteMsgForm.h"
#include "QvlAbout.h"
#include "QvlMain.h"
#include "Quorvellogo.h"

void CreateForms()
{
    FrameQvlLogo = new TFrameQvlLogo();
    MainForm = new TMainForm();
    AboutForm = new TAboutForm(MainForm);
    CancelForm = new TCancelForm(MainForm);
    DeleteBox = new TDeleteBox(MainForm);
}

void DestroyForms()
{
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
