#include "framework/CButton.h"

#include "framework/win32/TextFit.h"
#include "framework/win32/WindowsApi.h"
#include "link/Utf16.h"

void CButton::Attach(HWND control) { m_control = control; }

void CButton::SetWindowText(const char* text) {
    if (m_control) {
        SetWindowTextW(m_control, Utf8ToWide(text ? text : "").c_str());
        FitTextToControl(m_control);
    }
}
