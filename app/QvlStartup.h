// The program's windows, created once in a fixed order and kept until the
// end: the free-standing logo frame, the main window, the about box and the
// two run dialogs.
#pragma once

// Creates FrameQvlLogo, MainForm, AboutForm, CancelForm and DeleteBox, in
// this order. The main window's creation sets the window caption and the
// application title from the version.
void CreateForms();
// Destroys them in the reverse order.
void DestroyForms();
