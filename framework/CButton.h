#pragma once

#include "framework/WinTypes.h"

// A push button of a dialog.
class CButton {
public:
    void Attach(HWND control);

    void SetWindowText(const char* text);

private:
    HWND m_control = nullptr;
};
