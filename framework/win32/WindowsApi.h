#pragma once

// The one way framework/win32 reaches <windows.h>. The framework's own headers come first: their
// constants share names with Windows' macros (IDOK, MB_OK, ...), and a macro defined before them
// would turn their declarations into nonsense. Afterwards the macros stand for the same values.
#include "framework/CBitmap.h"
#include "framework/CButton.h"
#include "framework/CDialog.h"
#include "framework/CFileDialog.h"
#include "framework/CListCtrl.h"
#include "framework/CMenu.h"
#include "framework/CStatic.h"
#include "framework/MessageBox.h"
#include "framework/WinTypes.h"

// The W side of every A/W pair, also for the control macros (ListView_InsertColumn, ...).
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <commctrl.h>

// Windows' A/W switches that would rename the framework's functions and members.
#undef AppendMenu
#undef LoadBitmap
#undef MessageBox
#undef SetWindowText
