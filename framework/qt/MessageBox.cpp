#include "framework/RealMessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <algorithm>
#include <vector>

namespace {

// The real boxes being shown, innermost last.
std::vector<QMessageBox*>& OpenBoxes() {
    static std::vector<QMessageBox*> boxes;
    return boxes;
}

}  // namespace

int ShowRealMessageBox(const MessageBoxRequest& request) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromStdString(request.caption));
    box.setText(QString::fromStdString(request.text));
    switch (request.style & MB_ICONMASK) {
        case MB_ICONINFORMATION:
            box.setIcon(QMessageBox::Information);
            break;
        case MB_ICONSTOP:
            box.setIcon(QMessageBox::Critical);
            break;
        case MB_ICONQUESTION:
            box.setIcon(QMessageBox::Question);
            break;
        default:
            box.setIcon(QMessageBox::NoIcon);
            break;
    }
    if ((request.style & MB_TYPEMASK) == MB_YESNOCANCEL) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
    } else if ((request.style & MB_TYPEMASK) == MB_YESNO) {
        // The first button is the default, so that Return answers "Ja".
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    OpenBoxes().push_back(&box);
    const int answer = box.exec();
    OpenBoxes().erase(std::find(OpenBoxes().begin(), OpenBoxes().end(), &box));
    switch (answer) {
        case QMessageBox::Yes:
            return IDYES;
        case QMessageBox::No:
            return IDNO;
        case QMessageBox::Cancel:
            return IDCANCEL;
        default:
            return IDOK;
    }
}

std::string ApplicationName() { return QCoreApplication::applicationName().toStdString(); }

void CloseRealMessageBox(const std::string& text) {
    const QString wanted = QString::fromStdString(text);
    for (QMessageBox* box : OpenBoxes()) {
        if (box->text() == wanted && box->escapeButton() != nullptr) {
            box->escapeButton()->click();
        }
    }
}
