#pragma once

class QWidget;

// Grows a push button, group box or label of a dialog, as framework/TextRoom.h says, when its
// current text does not fit it in the widget's own font and style. Pictures and lists stay as
// they are.
void FitTextToControl(QWidget* control);
