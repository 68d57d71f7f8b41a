#include "framework/CBitmap.h"

#include "res/Templates.h"

bool CBitmap::LoadBitmap(int resourceId) {
    const char* path = res::BitmapPath(resourceId);
    return path && m_pixmap.load(QString::fromLatin1(path));
}
