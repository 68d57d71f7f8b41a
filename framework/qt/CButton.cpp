#include "framework/CButton.h"

#include <QAbstractButton>

#include "framework/qt/QtHandles.h"
#include "framework/qt/TextFit.h"

void CButton::Attach(HWND control) {
    m_control = qobject_cast<QAbstractButton*>(ToWidget(control)) ? control : nullptr;
}

void CButton::SetWindowText(const char* text) {
    if (m_control) {
        static_cast<QAbstractButton*>(ToWidget(m_control))->setText(QString::fromUtf8(text));
        FitTextToControl(ToWidget(m_control));
    }
}
