#pragma once

#include "framework/WinTypes.h"

class QIcon;
class QPixmap;
class QWidget;

// On Qt a window handle is the window's widget, a menu handle the menu bar's or menu's widget, an
// icon handle a QIcon the framework keeps, and a bitmap handle the QPixmap of its CBitmap. Only the
// Qt implementation of the framework and the Qt window tests look behind the handles.
inline QWidget* ToWidget(HWND window) { return reinterpret_cast<QWidget*>(window); }
inline HWND ToHandle(QWidget* widget) { return reinterpret_cast<HWND>(widget); }
inline QWidget* ToWidget(HMENU menu) { return reinterpret_cast<QWidget*>(menu); }
inline HMENU ToMenuHandle(QWidget* menu) { return reinterpret_cast<HMENU>(menu); }
inline QIcon* ToIcon(HICON icon) { return reinterpret_cast<QIcon*>(icon); }
inline HICON ToIconHandle(QIcon* icon) { return reinterpret_cast<HICON>(icon); }
inline QPixmap* ToPixmap(HBITMAP bitmap) { return reinterpret_cast<QPixmap*>(bitmap); }
inline HBITMAP ToBitmapHandle(QPixmap* pixmap) { return reinterpret_cast<HBITMAP>(pixmap); }
