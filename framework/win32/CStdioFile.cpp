#include "framework/CStdioFile.h"

#include <algorithm>
#include <string>

#include "framework/CFileException.h"
#include "framework/win32/WindowsApi.h"
#include "link/Utf16.h"

namespace {

// What a replaced file keeps of the old one's attributes where the system's replace does not carry
// them over (Wine's does not). Read-only never gets this far: such a file is not opened.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// Names tried for a temporary file before giving up.
constexpr int kNameAttempts = 100;

// The full path in Windows' extended form ("\\?\C:\...", "\\?\UNC\server\share\..."), which has no
// MAX_PATH limit. The full path is made first: the prefix turns off the system's own clean-up of a
// name. Empty when the path cannot be made whole or names a device.
std::wstring ExtendedPath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return {};
    }
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) {
        return {};
    }
    full.resize(length);
    if (full.starts_with(L"\\\\?\\")) {
        return full;
    }
    if (full.starts_with(L"\\\\.\\")) {
        return {};
    }
    return full.starts_with(L"\\\\") ? L"\\\\?\\UNC\\" + full.substr(2) : L"\\\\?\\" + full;
}

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\') + 1); }

// A new name in the folder for a file of the program's own.
std::wstring TemporaryName(const std::wstring& folder) {
    static unsigned counter = 0;
    return folder + L"vkx" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) +
           L".tmp";
}

// A file of a new name in the folder, created empty and open for writing, so that no other file of
// that name is touched; INVALID_HANDLE_VALUE when none could be made.
HANDLE CreateUnusedFile(const std::wstring& folder, std::wstring& name) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        name = TemporaryName(folder);
        const HANDLE handle =
            CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) {
            return handle;
        }
    }
    return INVALID_HANDLE_VALUE;
}

// A name in the folder that no file has now; empty when none was found.
std::wstring UnusedName(const std::wstring& folder) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::wstring name = TemporaryName(folder);
        if (GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES &&
            GetLastError() == ERROR_FILE_NOT_FOUND) {
            return name;
        }
    }
    return {};
}

// The old file moves aside to backup (an unused name) and the new one takes its place; on failure the old
// file is back under its name, or else kept as backup. For volumes where ReplaceFileW is not offered.
bool MoveIntoPlace(const std::wstring& temporary, const std::wstring& target, const std::wstring& backup) {
    if (!MoveFileExW(target.c_str(), backup.c_str(), MOVEFILE_WRITE_THROUGH)) {
        return false;
    }
    if (MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    return false;
}

bool IsNotOffered(DWORD error) {
    return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED ||
           error == ERROR_CALL_NOT_IMPLEMENTED;
}

// Replaces an existing target with the complete temporary file. ReplaceFileW keeps what the old file
// had: its ACL, attributes, creation time, streams. The old file waits under a backup name until
// the new one has its place, so no failure leaves the name without one of the two files.
bool Replace(const std::wstring& temporary, const std::wstring& target, DWORD oldAttributes) {
    if ((oldAttributes & kKeptAttributes) != 0) {
        SetFileAttributesW(temporary.c_str(), oldAttributes & kKeptAttributes);
    }
    const std::wstring backup = UnusedName(FolderOf(target));
    if (backup.empty()) {
        return false;
    }
    bool replaced = ReplaceFileW(target.c_str(), temporary.c_str(), backup.c_str(),
                                 REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    if (!replaced) {
        const DWORD error = GetLastError();
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
            // The old file is already the backup, and the target's name is free.
            MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
        } else if (IsNotOffered(error)) {
            replaced = MoveIntoPlace(temporary, target, backup);
        }
    }
    // Where the old file could not go back under its name, its backup stays: the only copy left.
    if (replaced || GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        DeleteFileW(backup.c_str());
    }
    return replaced;
}

}  // namespace

// The temporary file beside the target, open for writing; both paths in the extended form.
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
    // A name that is no UTF-8 (from a name that was no UTF-16) would open another file.
    const std::wstring wide = PathToWide(path);
    file->target = wide.empty() ? std::wstring() : ExtendedPath(wide);
    if (file->target.empty() || file->target.ends_with(L'\\')) {
        return false;
    }
    // A folder cannot be written as a file, nor can a read-only file be replaced.
    const DWORD attributes = GetFileAttributesW(file->target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
        return false;
    }
    // In the target's own folder, so that the final rename never crosses volumes.
    file->handle = CreateUnusedFile(FolderOf(file->target), file->temporary);
    if (file->handle == INVALID_HANDLE_VALUE) {
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
    // The bytes reach the disk before the name points at them; the old file keeps its name until
    // the new one is complete, so a failure anywhere leaves it as it was.
    bool complete = file && FlushFileBuffers(file->handle);
    if (file) {
        complete = CloseHandle(file->handle) && complete;
        file->handle = INVALID_HANDLE_VALUE;
    }
    bool replaced = false;
    if (complete) {
        const DWORD oldAttributes = GetFileAttributesW(file->target.c_str());
        replaced = oldAttributes == INVALID_FILE_ATTRIBUTES
                       ? MoveFileExW(file->temporary.c_str(), file->target.c_str(), MOVEFILE_WRITE_THROUGH)
                       : Replace(file->temporary, file->target, oldAttributes);
    }
    if (!replaced) {
        if (file) {
            DeleteFileW(file->temporary.c_str());
        }
        throw CFileException(m_path);
    }
}
