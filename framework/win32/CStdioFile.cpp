#include "framework/CStdioFile.h"

#include <algorithm>

#include "framework/CFileException.h"
#include "framework/win32/WindowsApi.h"
#include "link/Utf16.h"

namespace {

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring(L".") : path.substr(0, separator + 1);
}

}  // namespace

// The temporary file beside the target, open for writing.
struct CStdioFile::File {
    std::wstring target;
    std::wstring temporary;
    HANDLE handle = INVALID_HANDLE_VALUE;

    ~File() {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
            DeleteFileW(temporary.c_str());
        }
    }
};

CStdioFile::CStdioFile() = default;

// Without Close the new file is discarded; the target is untouched.
CStdioFile::~CStdioFile() = default;

bool CStdioFile::Open(const std::string& path) {
    m_path = path;
    m_file.reset();
    auto file = std::make_unique<File>();
    file->target = Utf8ToWide(path);
    if (file->target.empty() || IsFolder(file->target)) {
        return false;
    }
    // In the target's own folder, so that the final rename never crosses volumes.
    wchar_t temporary[MAX_PATH];
    if (GetTempFileNameW(FolderOf(file->target).c_str(), L"vkx", 0, temporary) == 0) {
        return false;
    }
    file->temporary = temporary;
    file->handle =
        CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file->handle == INVALID_HANDLE_VALUE) {
        DeleteFileW(temporary);
        return false;
    }
    m_file = std::move(file);
    return true;
}

void CStdioFile::WriteString(const std::string& text) {
    size_t written = 0;
    while (m_file && written < text.size()) {
        DWORD chunk = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(text.size() - written, 1u << 20));
        if (!WriteFile(m_file->handle, text.data() + written, wanted, &chunk, nullptr) || chunk == 0) {
            break;
        }
        written += chunk;
    }
    if (!m_file || written != text.size()) {
        throw CFileException(m_path);
    }
}

void CStdioFile::Close() {
    std::unique_ptr<File> file = std::move(m_file);
    // The bytes reach the disk before the name points at them; one rename then replaces the old
    // file, so a failure anywhere leaves it as it was.
    bool complete = file && FlushFileBuffers(file->handle);
    if (file) {
        complete = CloseHandle(file->handle) && complete;
        file->handle = INVALID_HANDLE_VALUE;
    }
    const bool replaced = complete && MoveFileExW(file->temporary.c_str(), file->target.c_str(),
                                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!replaced) {
        if (file) {
            DeleteFileW(file->temporary.c_str());
        }
        throw CFileException(m_path);
    }
}
