#include "framework/CStatic.h"

#include <QLabel>

#include "framework/CBitmap.h"
#include "framework/qt/QtHandles.h"
#include "framework/qt/TextFit.h"

namespace {

QLabel* LabelOf(HWND control) { return static_cast<QLabel*>(ToWidget(control)); }

}  // namespace

void CStatic::Attach(HWND control) {
    m_control = qobject_cast<QLabel*>(ToWidget(control)) ? control : nullptr;
}

void CStatic::SetWindowText(const char* text) {
    if (m_control) {
        LabelOf(m_control)->setText(QString::fromUtf8(text));
        FitTextToControl(LabelOf(m_control));
    }
}

void CStatic::SetBitmap(const CBitmap& bitmap) {
    if (!m_control) {
        return;
    }
    const QPixmap pixmap = bitmap.GetSafeHandle() ? *ToPixmap(bitmap.GetSafeHandle()) : QPixmap();
    LabelOf(m_control)->setPixmap(pixmap);
    LabelOf(m_control)->resize(pixmap.size());
}
