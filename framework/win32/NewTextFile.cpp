#include "framework/NewTextFile.h"

#include <algorithm>

#include "framework/win32/WindowsApi.h"
#include "link/Utf16.h"

namespace {

bool WriteAll(HANDLE file, const std::string& bytes) {
    size_t written = 0;
    while (written < bytes.size()) {
        DWORD chunk = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, 1u << 20));
        if (!WriteFile(file, bytes.data() + written, wanted, &chunk, nullptr) || chunk == 0) {
            return false;
        }
        written += chunk;
    }
    return true;
}

bool IsNameTaken(DWORD error) { return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS; }

}  // namespace

NewTextFileResult WriteNewTextFile(const std::string& folder, const std::string& name,
                                   const std::string& bytes, std::string& path) {
    path = folder + '\\' + name;
    const std::wstring wideFolder = Utf8ToWide(folder);
    const std::wstring target = Utf8ToWide(path);
    if (wideFolder.empty() || target.empty()) {
        return NewTextFileResult::Failed;
    }
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return NewTextFileResult::NameTaken;
    }
    // In the target's own folder, so that the final move never crosses volumes.
    wchar_t temporary[MAX_PATH];
    if (GetTempFileNameW(wideFolder.c_str(), L"vkx", 0, temporary) == 0) {
        return NewTextFileResult::Failed;
    }
    const HANDLE file =
        CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool complete = file != INVALID_HANDLE_VALUE && WriteAll(file, bytes) && FlushFileBuffers(file);
    if (file != INVALID_HANDLE_VALUE) {
        complete = CloseHandle(file) && complete;
    }
    // Without MOVEFILE_REPLACE_EXISTING the move fails on a name that is taken.
    if (complete && MoveFileExW(temporary, target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        return NewTextFileResult::Written;
    }
    const DWORD error = GetLastError();
    DeleteFileW(temporary);
    return complete && IsNameTaken(error) ? NewTextFileResult::NameTaken : NewTextFileResult::Failed;
}
