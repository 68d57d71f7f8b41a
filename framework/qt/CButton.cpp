#include "framework/CButton.h"

#include <QAbstractButton>

#include "framework/qt/QtHandles.h"

void CButton::Attach(HWND control) {
    m_control = qobject_cast<QAbstractButton*>(ToWidget(control)) ? control : nullptr;
}

void CButton::SetWindowText(const char* text) {
    if (m_control) {
        static_cast<QAbstractButton*>(ToWidget(m_control))->setText(QString::fromUtf8(text));
    }
}
