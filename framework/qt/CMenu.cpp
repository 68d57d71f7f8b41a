#include "framework/CMenu.h"

#include <QAction>
#include <QMenu>

#include "framework/qt/MenuBuilder.h"
#include "framework/qt/QtHandles.h"

namespace {

constexpr UINT kNoSuchItem = static_cast<UINT>(-1);

QAction* FindIn(const QList<QAction*>& actions, UINT command) {
    for (QAction* action : actions) {
        if (action->menu()) {
            if (QAction* found = FindIn(action->menu()->actions(), command)) {
                return found;
            }
        } else if (!action->isSeparator() && action->data().toUInt() == command) {
            return action;
        }
    }
    return nullptr;
}

QAction* FindCommand(HMENU menu, UINT command) {
    return menu ? FindIn(ToWidget(menu)->actions(), command) : nullptr;
}

}  // namespace

UINT CMenu::EnableMenuItem(UINT command, UINT flags) {
    QAction* action = FindCommand(m_menu, command);
    if (!action) {
        return kNoSuchItem;
    }
    const UINT previous = action->isEnabled() ? MF_ENABLED : MF_GRAYED;
    action->setEnabled((flags & MF_GRAYED) == 0);
    return previous;
}

UINT CMenu::GetMenuState(UINT command) const {
    const QAction* action = FindCommand(m_menu, command);
    if (!action) {
        return kNoSuchItem;
    }
    return action->isEnabled() ? MF_ENABLED : MF_GRAYED;
}

bool CMenu::AppendMenu(UINT flags, UINT_PTR command, const char* text) {
    if (!m_menu) {
        return false;
    }
    QWidget* menu = ToWidget(m_menu);
    if (flags & MF_SEPARATOR) {
        auto* separator = new QAction(menu);
        separator->setSeparator(true);
        menu->addAction(separator);
    } else {
        AddMenuCommand(menu, QString::fromUtf8(text ? text : ""), static_cast<int>(command));
    }
    return true;
}
