#pragma once

class DialogUnits;
class QWidget;

namespace res {
struct ControlTemplate;
}

// Creates the widget for one control of a dialog template, placed and styled as the template says.
QWidget* CreateControl(const res::ControlTemplate& control, const DialogUnits& units, QWidget* parent);
