#include "framework/RealFileDialog.h"

#include <vector>

#include "framework/CDialog.h"
#include "framework/win32/ModalOwner.h"
#include "framework/win32/WindowsApi.h"
#include "link/Utf16.h"

#include <commdlg.h>

namespace {

// Room for a path of the longest length that Windows allows.
constexpr size_t kPathCapacity = 32768;

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A name without an extension gets the default one, as the common dialog adds it. A name ending in a
// dot gets none: the dialog takes the dot for an empty extension, which Windows then drops.
std::wstring WithDefaultExtension(const std::wstring& path, const std::string& defaultExt) {
    const size_t nameStart = path.find_last_of(L"\\/") + 1;
    const size_t dot = path.rfind(L'.');
    if (defaultExt.empty() || (dot != std::wstring::npos && dot >= nameStart)) {
        return path;
    }
    return path + L"." + Utf8ToWide(defaultExt);
}

// The full path in Windows' form (a name's trailing dots dropped, as Windows drops them); empty when
// it cannot be made.
std::wstring FullPath(const std::wstring& path) {
    std::vector<wchar_t> full(kPathCapacity, L'\0');
    const DWORD length =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    return length == 0 || length >= full.size() ? std::wstring() : std::wstring(full.data(), length);
}

// A folder that is gone (a pulled USB stick) opens its nearest ancestor that still exists.
std::wstring NearestExistingFolder(std::wstring folder) {
    while (!folder.empty() && !IsFolder(folder)) {
        const size_t separator = folder.find_last_of(L"\\/");
        folder = separator == std::wstring::npos ? std::wstring() : folder.substr(0, separator);
    }
    return folder;
}

// "Name\0pattern\0...\0\0", as the common dialog takes its filters.
std::wstring FilterList(const std::vector<std::pair<std::string, std::string>>& filters) {
    std::wstring list;
    for (const auto& [name, pattern] : filters) {
        list += Utf8ToWide(name) + L'\0' + Utf8ToWide(pattern) + L'\0';
    }
    return list + L'\0';
}

}  // namespace

std::optional<std::string> ShowRealFileDialog(const FileDialogRequest& request, CDialog* parent) {
    const HWND owner = parent ? parent->GetSafeHwnd() : ModalOwner();
    std::vector<wchar_t> path(kPathCapacity, L'\0');
    const std::wstring fileName = Utf8ToWide(request.fileName);
    fileName.copy(path.data(), std::min(fileName.size(), path.size() - 1));
    const std::wstring filters = FilterList(request.filters);
    const std::wstring folder = NearestExistingFolder(Utf8ToWide(request.initialDir));
    const std::wstring title = Utf8ToWide(request.title);
    const std::wstring defaultExt = Utf8ToWide(request.defaultExt);

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(request.filterIndex);
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    // The dialog adds the default extension before it asks about overwriting; the name it returns is
    // written as it is, so the question covers the file written.
    dialog.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
    // The shell's list of recent documents is a store of the program's too: a saved list is not
    // added to it.
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                   OFN_DONTADDTORECENT | (request.flags & OFN_OVERWRITEPROMPT);
    if (!GetSaveFileNameW(&dialog)) {
        return std::nullopt;
    }
    return PathToUtf8(FullPath(path.data()));
}

std::string FullPathWithExtension(const std::string& chosen, const std::string& defaultExt) {
    const std::wstring wide = PathToWide(chosen);
    // A name that is no UTF-8 stays as it is, and opening it fails.
    return wide.empty() ? chosen : PathToUtf8(FullPath(WithDefaultExtension(wide, defaultExt)));
}

std::string CFileDialog::GetFolderPath() const {
    // The separators are single bytes in any name, so the path is cut as it is.
    const size_t separator = m_path.find_last_of("\\/");
    if (separator == std::string::npos) {
        return {};
    }
    // A file in a root folder ("C:\list.csv", "\list.csv"): the root itself, separator included.
    const bool root = separator == 0 || (separator == 2 && m_path[1] == ':');
    return m_path.substr(0, root ? separator + 1 : separator);
}
