#include "framework/ShellFolders.h"

#include "framework/win32/WindowsApi.h"
#include "link/Utf16.h"

#include <knownfolders.h>
#include <shlobj.h>

namespace {

// The known folder's path when it exists as a folder; empty otherwise.
std::string ExistingKnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) {
        const DWORD attributes = GetFileAttributesW(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            folder = WideToUtf8(path);
        }
    }
    CoTaskMemFree(path);
    return folder;
}

}  // namespace

std::string GetDocumentsFolder() {
    std::string folder = ExistingKnownFolder(FOLDERID_Documents);
    return folder.empty() ? ExistingKnownFolder(FOLDERID_Profile) : folder;
}
