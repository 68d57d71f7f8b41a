#pragma once

#include <string>

class CBitmap;
class QLabel;
class QWidget;

// A static control of a dialog: a text or a picture.
class CStatic {
public:
    void Attach(QWidget* control);

    void SetWindowText(const char* text);
    std::string GetWindowText() const;
    // Shows the bitmap; a picture control takes the bitmap's size.
    void SetBitmap(const CBitmap& bitmap);
    // The resource number of the bitmap shown, 0 for none.
    int GetBitmapId() const { return m_bitmapId; }

private:
    QLabel* m_label = nullptr;
    int m_bitmapId = 0;
};
