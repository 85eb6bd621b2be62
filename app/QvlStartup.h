// The program's windows, created once in a fixed order and kept until the
// end: the free-standing logo frame, the main window, the about box and the
// two run dialogs.
#pragma once

class TStopSignalNotifier;

// Creates FrameQvlLogo, MainForm, AboutForm, CancelForm and DeleteBox, in
// this order. The main window's creation sets the window caption and the
// application title from the version.
void CreateForms();
// Destroys them in the reverse order.
void DestroyForms();

// SIGTERM, SIGHUP and Ctrl+C in the terminal close the main window as its
// close button does: during a run that is Cancel, which asks first. While a
// question is open the window cannot be closed, and a signal does not close
// it either. Lasts until DestroyForms(); the notifier returned is that
// long-lived too.
TStopSignalNotifier *CatchStopSignalsForMainForm();
