#include "framework/CStatic.h"

#include "framework/win32/TextFit.h"
#include "framework/win32/WindowsApi.h"
#include "link/Utf16.h"

void CStatic::Attach(HWND control) { m_control = control; }

void CStatic::SetWindowText(const char* text) {
    if (m_control) {
        SetWindowTextW(m_control, Utf8ToWide(text ? text : "").c_str());
        FitTextToControl(m_control);
    }
}

void CStatic::SetBitmap(const CBitmap& bitmap) {
    // A picture control (SS_BITMAP) takes the bitmap's size. The bitmap stays its CBitmap's: 24-bit
    // bitmaps are shown as they are, never copied, so the control hands back nothing to delete.
    if (m_control) {
        SendMessageW(m_control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap.GetSafeHandle()));
    }
}
