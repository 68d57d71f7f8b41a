#include "framework/qt/DialogUnits.h"

#include <QFontMetrics>

namespace {

// a * b / c, rounded to the nearest integer.
int MulDiv(int a, int b, int c) { return (a * b + c / 2) / c; }

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average width of the 52 letters, rounded.
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseWidth = (letters / 26 + 1) / 2;
    m_baseHeight = metrics.height();
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
    return QRect(MulDiv(x, m_baseWidth, 4), MulDiv(y, m_baseHeight, 8), MulDiv(width, m_baseWidth, 4),
                 MulDiv(height, m_baseHeight, 8));
}
