#pragma once

#include "framework/WinTypes.h"

class QWidget;

// On Qt a window handle is the window's widget, and a menu handle the menu bar's or menu's widget.
// Only the Qt implementation of the framework and the Qt window tests look behind the handles.
inline QWidget* ToWidget(HWND window) { return reinterpret_cast<QWidget*>(window); }
inline HWND ToHandle(QWidget* widget) { return reinterpret_cast<HWND>(widget); }
inline QWidget* ToWidget(HMENU menu) { return reinterpret_cast<QWidget*>(menu); }
inline HMENU ToMenuHandle(QWidget* menu) { return reinterpret_cast<HMENU>(menu); }
