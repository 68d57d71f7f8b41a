#pragma once

#include "framework/WinTypes.h"

// Grows a push button, group box or text control of a dialog, as framework/TextRoom.h says, when its
// current text does not fit it in the control's own font. Pictures and lists stay as they are.
void FitTextToControl(HWND control);
