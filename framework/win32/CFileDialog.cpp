#include "framework/CFileDialog.h"

#include <vector>

#include "framework/win32/WindowsApi.h"
#include "link/Utf16.h"

#include <commdlg.h>

namespace {

// Room for a path of the longest length that Windows allows.
constexpr size_t kPathCapacity = 32768;

FileChooser& InstalledChooser() {
    static FileChooser chooser;
    return chooser;
}

std::vector<std::pair<std::string, std::string>> ParseFilter(const char* filter) {
    std::vector<std::pair<std::string, std::string>> filters;
    std::vector<std::string> parts;
    std::string part;
    for (const char* c = filter ? filter : ""; *c != '\0'; ++c) {
        if (*c == '|') {
            parts.push_back(std::move(part));
            part.clear();
        } else {
            part += *c;
        }
    }
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (!parts[i].empty()) {
            filters.emplace_back(parts[i], parts[i + 1]);
        }
    }
    return filters;
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A name without an extension gets the default one; a name ending in a dot has only the extension
// added after it.
std::wstring WithDefaultExtension(const std::wstring& path, const std::string& defaultExt) {
    const size_t nameStart = path.find_last_of(L"\\/") + 1;
    const size_t dot = path.rfind(L'.');
    const bool hasExtension = dot != std::wstring::npos && dot >= nameStart && dot + 1 < path.size();
    if (defaultExt.empty() || hasExtension) {
        return path;
    }
    return path + (path.ends_with(L'.') ? L"" : L".") + Utf8ToWide(defaultExt);
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

std::optional<std::string> ShowRealDialog(const FileDialogRequest& request, HWND owner) {
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
    // The dialog adds the default extension before it asks about overwriting, so the question
    // covers the file that is finally written.
    dialog.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                   (request.flags & OFN_OVERWRITEPROMPT);
    if (!GetSaveFileNameW(&dialog)) {
        return std::nullopt;
    }
    return WideToUtf8(path.data());
}

}  // namespace

FileChooser SetFileChooser(FileChooser chooser) {
    FileChooser previous = std::move(InstalledChooser());
    InstalledChooser() = std::move(chooser);
    return previous;
}

CFileDialog::CFileDialog(const char* defaultExt, const char* fileName, UINT flags, const char* filter,
                         CDialog* parent)
    : m_parent(parent) {
    m_request.defaultExt = defaultExt ? defaultExt : "";
    m_request.fileName = fileName ? fileName : "";
    m_request.flags = flags;
    m_request.filters = ParseFilter(filter);
}

int CFileDialog::DoModal() {
    const FileChooser& chooser = InstalledChooser();
    const std::optional<std::string> chosen =
        chooser ? chooser(m_request)
                : ShowRealDialog(m_request, m_parent ? m_parent->GetSafeHwnd() : nullptr);
    if (!chosen || chosen->empty()) {
        return IDCANCEL;
    }
    const std::wstring wide = Utf8ToWide(*chosen);
    std::vector<wchar_t> full(kPathCapacity, L'\0');
    const DWORD length =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size()) {
        return IDCANCEL;
    }
    m_path = WideToUtf8(WithDefaultExtension(std::wstring(full.data(), length), m_request.defaultExt));
    return IDOK;
}

std::string CFileDialog::GetFolderPath() const {
    const std::wstring path = Utf8ToWide(m_path);
    const size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) {
        return {};
    }
    // A file in a root folder ("C:\list.csv", "\list.csv"): the root itself, separator included.
    const bool root = separator == 0 || (separator == 2 && path[1] == L':');
    return WideToUtf8(path.substr(0, root ? separator + 1 : separator));
}
