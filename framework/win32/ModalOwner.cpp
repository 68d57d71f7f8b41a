#include "framework/win32/ModalOwner.h"

#include <iterator>

namespace {

// The class of dialogs, message boxes and the Save As dialog.
constexpr wchar_t kDialogClass[] = L"#32770";

BOOL CALLBACK FindEnabledDialog(HWND window, LPARAM parameter) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, static_cast<int>(std::size(className)));
    if (lstrcmpW(className, kDialogClass) != 0 || !IsWindowVisible(window) || !IsWindowEnabled(window)) {
        return TRUE;
    }
    *reinterpret_cast<HWND*>(parameter) = window;
    return FALSE;
}

}  // namespace

HWND ModalOwner() {
    // The program's windows all belong to this thread, the topmost first.
    HWND owner = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindEnabledDialog, reinterpret_cast<LPARAM>(&owner));
    return owner;
}
