#include "res/Templates.h"

#include "res/ManualNote.h"
#include "res/ResourceIds.h"

namespace res {
namespace {

using namespace style;

constexpr ControlTemplate kMainControls[] = {
    {1, ControlKind::PushButton, "OK", 0, 192, 227, 50, 16, kDefaultButton | kTabStop},
    {2, ControlKind::PushButton, "Beenden", 0, 327, 227, 50, 16, kVisible | kTabStop},
    {IDC_CONNECT, ControlKind::PushButton, "Verbindung herstellen", 0, 314, 22, 80, 20, kVisible | kTabStop},
    {IDC_SAVE_LIST, ControlKind::PushButton, "Liste speichern", 0, 177, 61, 80, 20, kVisible | kTabStop},
    {IDC_STATUS_PICTURE, ControlKind::StaticBitmap, "", 0, 337, 65, 15, 13, kVisible},
    {IDC_TIME_LIST, ControlKind::ListView, "", 0, 7, 7, 160, 236, kBorder | kTabStop | kVisible},
    {IDC_CLEAR_LIST, ControlKind::PushButton, "Liste löschen", 0, 177, 22, 80, 20, kVisible | kTabStop},
    {IDC_STATIC, ControlKind::GroupBox, "Verbindungsstatus", 0, 314, 53, 80, 56, kVisible},
    {IDC_STATUS_TEXT, ControlKind::StaticText, "inaktiv", 0, 341, 97, 22, 8, kCenter | kGroup | kVisible},
};

constexpr ControlTemplate kAboutControls[] = {
    {IDC_STATIC, ControlKind::StaticIcon, "", IDR_MAINFRAME, 11, 17, 20, 20, kVisible},
    {IDC_STATIC, ControlKind::StaticText, "DIZ Uravaved VKX260 Version 1.2", 0, 40, 10, 119, 8,
     kNoPrefix | kGroup | kVisible},
    {IDC_STATIC, ControlKind::StaticText, "Copyright (C) 2026 DIZ", 0, 40, 25, 154, 8, kGroup | kVisible},
    {1, ControlKind::PushButton, "OK", 0, 173, 7, 50, 16, kDefaultButton | kGroup | kTabStop | kVisible},
};

constexpr DialogTemplate kDialogs[] = {
    {IDD_MAIN_DIALOG, "DIZ Uravaved VKX260", 401, 250, "MS Shell Dlg", 8, IDR_MAIN_MENU, true, kMainControls},
    {IDD_ABOUTBOX, "Info über DIZ Uravaved VKX260", 230, 55, "MS Shell Dlg", 8, 0, false, kAboutControls},
};

constexpr MenuItemTemplate kMainMenuItems[] = {
    {0, "VKX260", 0, true},
    {1, "Liste speichern", ID_MENU_SAVE_LIST, false},
    {1, "Liste löschen", ID_MENU_CLEAR_LIST, false},
    {1, nullptr, 0, false},
    {1, "Beenden", ID_MENU_EXIT, false},
    {0, "?", 0, true},
    {1, "Info", ID_MENU_INFO, false},
    {1, "Handbuch", 0, true},
    {2, kManualNote, ID_MENU_MANUAL_NOTE, false},
};

constexpr MenuTemplate kMenus[] = {
    {IDR_MAIN_MENU, kMainMenuItems},
};

struct StringEntry {
    int id;
    const char* text;
};

constexpr StringEntry kStrings[] = {
    {IDS_ABOUTBOX, "&Info über DIZ Uravaved VKX260..."},
};

struct ImageEntry {
    int id;
    const char* path;
};

constexpr ImageEntry kImages[] = {
    {IDB_STATUS_RED, ":/res/bitmaps/130.bmp"},
    {IDB_STATUS_GREEN, ":/res/bitmaps/131.bmp"},
};

constexpr const char* kMainIconImages[] = {
    ":/res/icons/vkx260-32.png",
    ":/res/icons/vkx260-48.png",
    ":/res/icons/vkx260-256.png",
};

template <typename Table>
auto FindById(const Table& table, int id) -> decltype(&table[0]) {
    for (const auto& entry : table) {
        if (entry.id == id) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) { return FindById(kDialogs, id); }

const MenuTemplate* FindMenuTemplate(int id) { return FindById(kMenus, id); }

const char* LoadResourceString(int id) {
    const StringEntry* entry = FindById(kStrings, id);
    return entry ? entry->text : "";
}

const char* BitmapPath(int id) {
    const ImageEntry* entry = FindById(kImages, id);
    return entry ? entry->path : nullptr;
}

std::span<const char* const> IconPaths(int id) {
    if (id == IDR_MAINFRAME) {
        return kMainIconImages;
    }
    return {};
}

}  // namespace res
