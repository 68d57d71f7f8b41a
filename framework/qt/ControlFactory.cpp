#include "framework/qt/ControlFactory.h"

#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "framework/ResourceIcon.h"
#include "framework/qt/DialogUnits.h"
#include "framework/qt/QtHandles.h"
#include "framework/qt/ReportView.h"
#include "res/Templates.h"

namespace {

QWidget* CreateWidget(const res::ControlTemplate& control, QWidget* parent) {
    const QString text = QString::fromUtf8(control.text);
    switch (control.kind) {
        case res::ControlKind::PushButton: {
            auto* button = new QPushButton(text, parent);
            button->setDefault((control.styles & res::style::kDefaultButton) != 0);
            return button;
        }
        case res::ControlKind::StaticText: {
            auto* label = new QLabel(text, parent);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment((control.styles & res::style::kCenter) ? Qt::AlignHCenter | Qt::AlignTop
                                                                       : Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case res::ControlKind::StaticBitmap:
            return new QLabel(parent);
        case res::ControlKind::StaticIcon: {
            auto* label = new QLabel(parent);
            const int size = parent->style()->pixelMetric(QStyle::PM_LargeIconSize);
            if (HICON icon = LoadIconResource(control.resource)) {
                label->setPixmap(ToIcon(icon)->pixmap(size, size));
            }
            return label;
        }
        case res::ControlKind::ListView:
            return new ReportView(parent);
        case res::ControlKind::GroupBox:
            return new QGroupBox(text, parent);
    }
    return nullptr;
}

}  // namespace

QWidget* CreateControl(const res::ControlTemplate& control, const DialogUnits& units, QWidget* parent) {
    QWidget* widget = CreateWidget(control, parent);
    if (!widget) {
        return nullptr;
    }
    widget->setGeometry(units.ToPixels(control.x, control.y, control.width, control.height));
    if (control.kind == res::ControlKind::StaticIcon) {
        widget->adjustSize();  // an icon control takes the icon's size
    }
    if (control.kind == res::ControlKind::GroupBox) {
        widget->lower();  // a group box frames the controls inside it, never covers them
    }
    if ((control.styles & res::style::kTabStop) == 0 && control.kind == res::ControlKind::PushButton) {
        widget->setFocusPolicy(Qt::ClickFocus);
    }
    widget->setVisible((control.styles & res::style::kVisible) != 0);
    return widget;
}
