#pragma once

#include "framework/WinTypes.h"

class CBitmap;

// A static control of a dialog: a text or a picture.
class CStatic {
public:
    void Attach(HWND control);

    void SetWindowText(const char* text);
    // Shows the bitmap; a picture control takes the bitmap's size.
    void SetBitmap(const CBitmap& bitmap);

private:
    HWND m_control = nullptr;
};
