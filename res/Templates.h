#pragma once

#include <cstdint>
#include <span>

// Dialog and menu templates as data. Positions and sizes are in dialog units.
namespace res {

enum class ControlKind {
    PushButton,
    StaticText,
    StaticBitmap,
    StaticIcon,
    ListView,
    GroupBox,
};

namespace style {
inline constexpr uint32_t kVisible = 1u << 0;
inline constexpr uint32_t kTabStop = 1u << 1;
inline constexpr uint32_t kGroup = 1u << 2;
inline constexpr uint32_t kDefaultButton = 1u << 3;
inline constexpr uint32_t kCenter = 1u << 4;
inline constexpr uint32_t kNoPrefix = 1u << 5;
inline constexpr uint32_t kBorder = 1u << 6;
}  // namespace style

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;
    int resource;  // bitmap or icon shown by a picture control, else 0
    int x, y, width, height;
    uint32_t styles;
};

struct DialogTemplate {
    int id;
    const char* caption;
    int width, height;
    const char* fontFamily;
    int fontPointSize;
    int menu;  // menu resource, 0 for none
    bool minimizeBox;
    std::span<const ControlTemplate> controls;  // template order, which is also the tab order
};

struct MenuItemTemplate {
    int depth;         // 0 for the bar's popups, 1 for their items, 2 for a submenu's items
    const char* text;  // nullptr for a separator
    int command;       // 0 for popups and separators
    bool popup;
};

struct MenuTemplate {
    int id;
    std::span<const MenuItemTemplate> items;
};

// nullptr when no resource has that number.
const DialogTemplate* FindDialogTemplate(int id);
const MenuTemplate* FindMenuTemplate(int id);
// The string table; an empty string when no string has that number.
const char* LoadResourceString(int id);
// Qt resource path of a bitmap; nullptr when none has that number.
const char* BitmapPath(int id);
// Qt resource paths of an icon's images, one per size; empty when no icon has that number.
std::span<const char* const> IconPaths(int id);

}  // namespace res
