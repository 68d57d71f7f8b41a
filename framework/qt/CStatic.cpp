#include "framework/CStatic.h"

#include <QLabel>

#include "framework/CBitmap.h"

void CStatic::Attach(QWidget* control) { m_label = qobject_cast<QLabel*>(control); }

void CStatic::SetWindowText(const char* text) {
    if (m_label) {
        m_label->setText(QString::fromUtf8(text));
    }
}

void CStatic::SetBitmap(const CBitmap& bitmap) {
    if (!m_label) {
        return;
    }
    m_label->setPixmap(bitmap.Pixmap());
    m_label->resize(bitmap.Pixmap().size());
}
