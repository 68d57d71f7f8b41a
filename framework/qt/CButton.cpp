#include "framework/CButton.h"

#include <QAbstractButton>

void CButton::Attach(QWidget* control) { m_button = qobject_cast<QAbstractButton*>(control); }

void CButton::SetWindowText(const char* text) {
    if (m_button) {
        m_button->setText(QString::fromUtf8(text));
    }
}
