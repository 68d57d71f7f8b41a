#pragma once

#include <QPixmap>

// A bitmap resource of the program.
class CBitmap {
public:
    bool LoadBitmap(int resourceId);
    const QPixmap& Pixmap() const { return m_pixmap; }

private:
    QPixmap m_pixmap;
};
