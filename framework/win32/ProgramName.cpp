#include "framework/win32/ProgramName.h"

#include <vector>

#include "framework/win32/WindowsApi.h"
#include "link/Utf16.h"

std::string ProgramName() {
    std::vector<wchar_t> path(MAX_PATH);
    DWORD length = 0;
    // A path longer than the buffer comes back cut off: the buffer grows until it fits.
    while ((length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) ==
           path.size()) {
        path.resize(path.size() * 2);
    }
    std::wstring name(path.data(), length);
    name.erase(0, name.find_last_of(L"\\/") + 1);
    if (const size_t dot = name.rfind(L'.'); dot != std::wstring::npos) {
        name.erase(dot);
    }
    return WideToUtf8(name);
}
