#include "framework/CBitmap.h"

#include "res/Templates.h"

bool CBitmap::LoadBitmap(int resourceId) {
    const char* path = res::BitmapPath(resourceId);
    if (!path || !m_pixmap.load(QString::fromLatin1(path))) {
        return false;
    }
    m_resourceId = resourceId;
    return true;
}
