#pragma once

#include "framework/WinTypes.h"

// A bitmap resource of the program. The bitmap is this object's own and goes with it.
class CBitmap {
public:
    CBitmap() = default;
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;
    ~CBitmap();

    // Loading again replaces the bitmap held.
    bool LoadBitmap(int resourceId);
    // nullptr until a bitmap is loaded.
    HBITMAP GetSafeHandle() const { return m_bitmap; }

private:
    HBITMAP m_bitmap = nullptr;
};
