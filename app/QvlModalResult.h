// The results a dialog of this program ends with. The close box gives
// mrCancel, as the Cancel button does.
#pragma once

enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2 };
