#include "framework/CBitmap.h"

#include <QPixmap>
#include <memory>

#include "framework/qt/QtHandles.h"
#include "res/Templates.h"

CBitmap::~CBitmap() { delete ToPixmap(m_bitmap); }

bool CBitmap::LoadBitmap(int resourceId) {
    const char* path = res::BitmapPath(resourceId);
    auto pixmap = std::make_unique<QPixmap>();
    if (!path || !pixmap->load(QString::fromLatin1(path))) {
        return false;
    }
    delete ToPixmap(m_bitmap);
    m_bitmap = ToBitmapHandle(pixmap.release());
    return true;
}
