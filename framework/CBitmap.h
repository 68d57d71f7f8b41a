#pragma once

#include <QPixmap>

// A bitmap resource of the program.
class CBitmap {
public:
    bool LoadBitmap(int resourceId);
    const QPixmap& Pixmap() const { return m_pixmap; }
    int ResourceId() const { return m_resourceId; }

private:
    QPixmap m_pixmap;
    int m_resourceId = 0;
};
