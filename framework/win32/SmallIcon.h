#pragma once

#include "framework/win32/WindowsApi.h"

// The small (caption and taskbar) size of an icon that LoadIconResource loaded; the icon itself
// when it has none.
HICON SmallIconOf(HICON icon);
