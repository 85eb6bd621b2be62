// TMainForm: starting, following and finishing a verify.
#include "QvlMain.h"

#include "ui_QvlMain.h"

void TMainForm::SetUpRun()
{
}

// Until a verify can be run from the window, Start only has its place, and
// Return leads back to the path selection.
void TMainForm::StartBtnClick()
{
}

void TMainForm::CancelBitBtnClick()
{
}

void TMainForm::ReturnBitBtnClick()
{
    ShowVerifyView(false);
}
