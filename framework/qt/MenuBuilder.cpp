#include "framework/qt/MenuBuilder.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <vector>

#include "framework/qt/DialogWindow.h"
#include "res/Templates.h"

void BuildMenu(QMenuBar* bar, const res::MenuTemplate& menuTemplate) {
    // The open popup at each depth; depth 0 items go onto the bar itself.
    std::vector<QWidget*> parents{bar};
    for (const res::MenuItemTemplate& item : menuTemplate.items) {
        parents.resize(static_cast<size_t>(item.depth) + 1);
        QWidget* parent = parents.back();
        const QString text = item.text ? QString::fromUtf8(item.text) : QString();
        if (item.popup) {
            auto* popup = new QMenu(text, parent);
            if (auto* parentBar = qobject_cast<QMenuBar*>(parent)) {
                parentBar->addMenu(popup);
            } else {
                qobject_cast<QMenu*>(parent)->addMenu(popup);
            }
            parents.push_back(popup);
        } else if (!item.text) {
            qobject_cast<QMenu*>(parent)->addSeparator();
        } else {
            AddMenuCommand(parent, text, item.command);
        }
    }
}

QAction* AddMenuCommand(QWidget* menu, const QString& text, int command) {
    auto* action = new QAction(text, menu);
    action->setData(static_cast<UINT>(command));
    QObject::connect(action, &QAction::triggered, menu, [menu, command] {
        if (CDialog::Window* window = CDialog::Window::Of(menu)) {
            window->owner.SendCommand(command);
        }
    });
    menu->addAction(action);
    return action;
}
