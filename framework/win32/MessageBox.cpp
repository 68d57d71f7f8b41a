#include "framework/RealMessageBox.h"

#include <iterator>
#include <string>

#include "framework/win32/ModalOwner.h"
#include "framework/win32/ProgramName.h"
#include "framework/win32/WindowsApi.h"
#include "link/Utf16.h"

namespace {

// The static control that shows a message box's text.
constexpr int kBoxTextId = 0xFFFF;
constexpr wchar_t kDialogClass[] = L"#32770";

struct BoxSearch {
    std::wstring text;
    HWND found = nullptr;
};

BOOL CALLBACK FindBoxShowing(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<BoxSearch*>(parameter);
    wchar_t className[16] = {};
    GetClassNameW(window, className, static_cast<int>(std::size(className)));
    HWND textControl = GetDlgItem(window, kBoxTextId);
    if (lstrcmpW(className, kDialogClass) != 0 || !textControl) {
        return TRUE;
    }
    std::wstring shown(static_cast<size_t>(GetWindowTextLengthW(textControl)) + 1, L'\0');
    shown.resize(
        static_cast<size_t>(GetWindowTextW(textControl, shown.data(), static_cast<int>(shown.size()))));
    if (shown != search.text) {
        return TRUE;
    }
    search.found = window;
    return FALSE;
}

}  // namespace

std::string ApplicationName() { return ProgramName(); }

int ShowRealMessageBox(const MessageBoxRequest& request) {
    // Owned by the program's window, which stays disabled while the box is open, also when another
    // program is in front. The system gives the buttons their texts in its own language.
    const int answer = MessageBoxW(ModalOwner(), Utf8ToWide(request.text).c_str(),
                                   Utf8ToWide(request.caption).c_str(), request.style);
    return answer == 0 ? IDCANCEL : answer;
}

void CloseRealMessageBox(const std::string& text) {
    // The program's boxes all run on this thread. Escape reaches a box as the cancel command.
    BoxSearch search{Utf8ToWide(text)};
    EnumThreadWindows(GetCurrentThreadId(), FindBoxShowing, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
        SendMessageW(search.found, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
}
