#include "framework/qt/TextFit.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <vector>

#include "framework/TextRoom.h"
#include "framework/qt/DialogUnits.h"

namespace {

// The width the widget needs for its text with its own margins; 0 for widgets that show none.
int NeededWidth(QWidget* control) {
    if (auto* button = qobject_cast<QPushButton*>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        if (button->isDefault()) {
            option.features |= QStyleOptionButton::DefaultButton;
        }
        const QRect contents =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        return button->width() - contents.width() + button->fontMetrics().horizontalAdvance(button->text());
    }
    if (auto* label = qobject_cast<QLabel*>(control); label && label->pixmap().isNull()) {
        return label->width() - label->contentsRect().width() +
               label->fontMetrics().horizontalAdvance(label->text());
    }
    if (auto* box = qobject_cast<QGroupBox*>(control)) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        option.textAlignment = box->alignment();
        const QRect title =
            box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
        // The title keeps as much room after it as before it.
        return 2 * title.left() + box->fontMetrics().horizontalAdvance(box->title());
    }
    return 0;
}

bool Centred(QWidget* control) {
    if (auto* label = qobject_cast<QLabel*>(control)) {
        return (label->alignment() & Qt::AlignHCenter) != 0;
    }
    return qobject_cast<QPushButton*>(control) != nullptr;
}

ControlBox BoxOf(const QWidget* widget, bool frame) {
    const QRect place = widget->geometry();
    return {place.left(), place.top(), place.left() + place.width(), place.top() + place.height(), frame};
}

}  // namespace

void FitTextToControl(QWidget* control) {
    QWidget* parent = control ? control->parentWidget() : nullptr;
    if (!parent || NeededWidth(control) <= control->width()) {
        return;
    }
    const int needed = NeededWidth(control);
    std::vector<ControlBox> others;
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child != control && !child->isHidden()) {
            others.push_back(BoxOf(child, qobject_cast<QGroupBox*>(child) != nullptr));
        }
    }
    // Two dialog units from a neighbour or the edge, as close as the templates place controls.
    const int gap = DialogUnits(parent->font()).ToPixels(0, 0, 2, 0).width();
    const ControlBox box = BoxOf(control, false);
    const Span room = RoomBeside(box, others, parent->width(), gap);
    const Span span = WidenToFit({box.left, box.right}, needed, room, Centred(control));
    control->setGeometry(span.left, box.top, span.right - span.left, box.bottom - box.top);
}
