#pragma once

#include <functional>

#include "framework/WinTypes.h"

class QAction;
class QMenuBar;
class QWidget;

namespace res {
struct MenuTemplate;
}

// A window's menu bar (or another menu), its items addressed by command ID.
class CMenu {
public:
    using CommandSink = std::function<void(int command)>;

    // Fills the bar from a menu template; choosing an item passes its command to the sink.
    static void Build(QMenuBar* bar, const res::MenuTemplate& menuTemplate, const CommandSink& sink);

    void Attach(QWidget* menu, CommandSink sink);

    // Searches submenus too. Returns the item's previous state, or (UINT)-1 when no item has the ID.
    UINT EnableMenuItem(UINT command, UINT flags);
    UINT GetMenuState(UINT command) const;
    bool AppendMenu(UINT flags, UINT_PTR command = 0, const char* text = nullptr);

private:
    QAction* FindCommand(UINT command) const;

    QWidget* m_menu = nullptr;
    CommandSink m_sink;
};
