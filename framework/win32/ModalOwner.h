#pragma once

#include "framework/win32/WindowsApi.h"

// The window that owns a new modal box or dialog of the program: the program's dialog that takes
// input now (a modal one disables those below it). Found among the program's windows rather than
// asked of the system as the active window, which the program has none of while another program is
// in front. nullptr while the program shows no dialog.
HWND ModalOwner();
