#pragma once

class QAbstractButton;
class QWidget;

// A push button of a dialog.
class CButton {
public:
    void Attach(QWidget* control);

    void SetWindowText(const char* text);

private:
    QAbstractButton* m_button = nullptr;
};
