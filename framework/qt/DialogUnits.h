#pragma once

#include <QFont>
#include <QRect>

// Converts dialog units into pixels from the dialog font's average character width and height,
// as dialog templates measure their controls: 4 units to a character's width, 8 to its height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    QRect ToPixels(int x, int y, int width, int height) const;

private:
    int m_baseWidth;
    int m_baseHeight;
};
