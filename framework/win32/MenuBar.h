#pragma once

#include "framework/win32/WindowsApi.h"

namespace res {
struct MenuTemplate;
}

// Creates a window's menu bar from a menu template; an item sends its command ID in WM_COMMAND.
// The window that the bar is set on destroys it with itself.
HMENU CreateMenuBar(const res::MenuTemplate& menuTemplate);
