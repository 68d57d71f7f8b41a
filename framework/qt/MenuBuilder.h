#pragma once

class QAction;
class QMenuBar;
class QString;
class QWidget;

namespace res {
struct MenuTemplate;
}

// Fills a dialog's menu bar from a menu template.
void BuildMenu(QMenuBar* bar, const res::MenuTemplate& menuTemplate);

// Adds an item that sends its command to the dialog whose window holds the menu.
QAction* AddMenuCommand(QWidget* menu, const QString& text, int command);
