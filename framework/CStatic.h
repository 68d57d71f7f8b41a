#pragma once

class CBitmap;
class QLabel;
class QWidget;

// A static control of a dialog: a text or a picture.
class CStatic {
public:
    void Attach(QWidget* control);

    void SetWindowText(const char* text);
    // Shows the bitmap; a picture control takes the bitmap's size.
    void SetBitmap(const CBitmap& bitmap);

private:
    QLabel* m_label = nullptr;
};
