#include "framework/CMenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <vector>

#include "res/Templates.h"

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

QAction* AddCommand(QWidget* menu, const QString& text, int command, const CMenu::CommandSink& sink) {
    auto* action = new QAction(text, menu);
    action->setData(static_cast<UINT>(command));
    QObject::connect(action, &QAction::triggered, menu, [sink, command] {
        if (sink) {
            sink(command);
        }
    });
    menu->addAction(action);
    return action;
}

}  // namespace

void CMenu::Build(QMenuBar* bar, const res::MenuTemplate& menuTemplate, const CommandSink& sink) {
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
            AddCommand(parent, text, item.command, sink);
        }
    }
}

void CMenu::Attach(QWidget* menu, CommandSink sink) {
    m_menu = menu;
    m_sink = std::move(sink);
}

QAction* CMenu::FindCommand(UINT command) const {
    return m_menu ? FindIn(m_menu->actions(), command) : nullptr;
}

UINT CMenu::EnableMenuItem(UINT command, UINT flags) {
    QAction* action = FindCommand(command);
    if (!action) {
        return kNoSuchItem;
    }
    const UINT previous = action->isEnabled() ? MF_ENABLED : MF_GRAYED;
    action->setEnabled((flags & MF_GRAYED) == 0);
    return previous;
}

UINT CMenu::GetMenuState(UINT command) const {
    const QAction* action = FindCommand(command);
    if (!action) {
        return kNoSuchItem;
    }
    return action->isEnabled() ? MF_ENABLED : MF_GRAYED;
}

bool CMenu::AppendMenu(UINT flags, UINT_PTR command, const char* text) {
    if (!m_menu) {
        return false;
    }
    if (flags & MF_SEPARATOR) {
        auto* separator = new QAction(m_menu);
        separator->setSeparator(true);
        m_menu->addAction(separator);
    } else {
        AddCommand(m_menu, QString::fromUtf8(text ? text : ""), static_cast<int>(command), m_sink);
    }
    return true;
}
