#include "framework/CBitmap.h"

#include "framework/win32/WindowsApi.h"

CBitmap::~CBitmap() {
    if (m_bitmap) {
        DeleteObject(m_bitmap);
    }
}

bool CBitmap::LoadBitmap(int resourceId) {
    HANDLE loaded = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), IMAGE_BITMAP, 0, 0,
                               LR_DEFAULTCOLOR);
    if (!loaded) {
        return false;
    }
    if (m_bitmap) {
        DeleteObject(m_bitmap);
    }
    m_bitmap = static_cast<HBITMAP>(loaded);
    return true;
}
