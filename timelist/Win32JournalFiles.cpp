// The journal's file system on Windows: every file by its name in the folder that a folder handle
// holds open, through the W calls.
#include <aclapi.h>
#include <knownfolders.h>
#include <sddl.h>
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

#include "timelist/JournalFiles.h"

namespace {

// Every journal handle lets others read, write, rename and delete the file: Windows refuses to
// replace or remove a file while any handle to it withholds FILE_SHARE_DELETE, and a rename over the
// journal, or its removal, must never wait for a scan of another program that has it open.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Locks are mandatory on Windows and would bar other handles from the bytes they cover, so the
// journal's lock lies far beyond any content: a scan still reads a live journal to its end.
constexpr DWORD kLockOffsetHigh = DWORD{1} << 30;  // byte 2^62
// Classes of SetFileInformationByHandle that Windows 10 added, and that MinGW declares only for a
// later target than ours.
constexpr auto kDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr auto kRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
// ReadFile and WriteFile count in a DWORD: larger requests are served in part, as read and write do.
constexpr DWORD kMaxTransfer = DWORD{1} << 30;

// What a handle of the seam holds: the system's handle and, for a folder, the path that the names
// in it are appended to. A file made for writing has a second handle, for syncs alone: I/O on a
// synchronous handle is serialised, so a row's WriteFile on the window's thread would wait behind a
// FlushFileBuffers on the same handle, for seconds on a failing disk. A flush through any handle
// of the file brings all of it to the disk.
struct Opened {
    HANDLE handle;
    std::wstring folderPath;
    bool locked = false;
    HANDLE syncHandle = INVALID_HANDLE_VALUE;
};

Opened& Of(JournalFiles::Handle handle) { return *reinterpret_cast<Opened*>(handle); }

JournalFiles::Handle Adopt(HANDLE handle, std::wstring folderPath = {}) {
    return reinterpret_cast<JournalFiles::Handle>(new Opened{handle, std::move(folderPath)});
}

// A Windows error as the seam reports it: a negative errno.
int ErrorNumber(DWORD error) {
    switch (error) {
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return -EEXIST;
        case ERROR_LOCK_VIOLATION:
            return -EWOULDBLOCK;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return -ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return -EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return -ENOSPC;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return -ENOMEM;
        case ERROR_INVALID_PARAMETER:
            return -EINVAL;
        default:
            return -EIO;
    }
}

int LastError() { return ErrorNumber(GetLastError()); }

std::wstring Utf8ToWide(const std::string& text) {
    const int size = static_cast<int>(text.size());
    std::wstring wide(
        static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string WideToUtf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

std::wstring PathIn(JournalFiles::Handle folder, const std::string& name) {
    return Of(folder).folderPath + L'\\' + Utf8ToWide(name);
}

// Creates the folder and whatever is missing above it; true when it exists.
bool MakeFolders(const std::wstring& path) {
    if (CreateDirectoryW(path.c_str(), nullptr)) {
        return true;
    }
    const DWORD error = GetLastError();
    const std::size_t parent = path.find_last_of(L"\\/");
    if (error == ERROR_PATH_NOT_FOUND && parent != std::wstring::npos && parent > 0 &&
        MakeFolders(path.substr(0, parent))) {
        return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
    }
    return error == ERROR_ALREADY_EXISTS;
}

// The user that this program runs as, and the owner that Windows gives the objects it creates
// (the Administrators group for an elevated program): a folder of either is the user's own.
bool IsOwnedByUser(PSID owner) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return false;
    }
    bool own = false;
    for (const TOKEN_INFORMATION_CLASS which : {TokenUser, TokenOwner}) {
        alignas(SID_AND_ATTRIBUTES) BYTE buffer[SECURITY_MAX_SID_SIZE + sizeof(SID_AND_ATTRIBUTES)];
        DWORD size = 0;
        if (GetTokenInformation(token, which, buffer, sizeof buffer, &size)) {
            // TOKEN_USER and TOKEN_OWNER both begin with the SID's pointer.
            own = own || EqualSid(owner, *reinterpret_cast<PSID*>(buffer));
        }
    }
    CloseHandle(token);
    return own;
}

// The user's SID as text ("S-1-5-21-..."); empty if the token cannot be read.
std::wstring UserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    alignas(SID_AND_ATTRIBUTES) BYTE buffer[SECURITY_MAX_SID_SIZE + sizeof(SID_AND_ATTRIBUTES)];
    DWORD size = 0;
    std::wstring text;
    LPWSTR converted = nullptr;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &converted)) {
        text = converted;
        LocalFree(converted);
    }
    CloseHandle(token);
    return text;
}

// The access list of the state folder and of every file made in it: the user, SYSTEM and the
// administrators, full access each, and nothing inherited from above, as modes 0700 and 0600 on
// Linux. Built once; null if it cannot be.
struct PrivateAccess {
    PSECURITY_DESCRIPTOR folder = nullptr;
    PSECURITY_DESCRIPTOR file = nullptr;
};

PSECURITY_DESCRIPTOR PrivateDescriptor(const std::wstring& user, const wchar_t* inheritance) {
    std::wstring sddl = L"D:P";
    for (const std::wstring& trustee : {user, std::wstring(L"SY"), std::wstring(L"BA")}) {
        sddl += L"(A;" + std::wstring(inheritance) + L";FA;;;" + trustee + L')';
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (user.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                              &descriptor, nullptr)) {
        return nullptr;
    }
    return descriptor;
}

// Kept for the program's life, as the system's own per-process data is.
const PrivateAccess& Private() {
    static const PrivateAccess access = [] {
        const std::wstring user = UserSid();
        return PrivateAccess{PrivateDescriptor(user, L"OICI"), PrivateDescriptor(user, L"")};
    }();
    return access;
}

// Gives the folder the private access list, replacing whatever it had or inherited; what the
// folder holds inherits it too.
int MakePrivate(HANDLE folder) {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL list = nullptr;
    if (Private().folder == nullptr ||
        !GetSecurityDescriptorDacl(Private().folder, &present, &list, &defaulted)) {
        return -EPERM;
    }
    const DWORD error = SetSecurityInfo(folder, SE_FILE_OBJECT,
                                        DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                        nullptr, nullptr, list, nullptr);
    return error == ERROR_SUCCESS ? 0 : ErrorNumber(error);
}

// 0 for a real folder (no link, no junction) of the user's own. A folder of someone else's is never
// written into: its owner could read or swap every file in it. The user's own is made private, so
// that nobody else can read the times or plant journals for the next start.
int CheckFolder(HANDLE folder) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(folder, &information)) {
        return LastError();
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return -ELOOP;
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return -ENOTDIR;
    }
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                                        nullptr, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) {
        return ErrorNumber(error);
    }
    const bool own = IsOwnedByUser(owner);
    LocalFree(descriptor);
    return own ? MakePrivate(folder) : -EPERM;
}

// The folder's path as the system resolved it when it was opened, so that every name is looked up
// where the checked folder is.
int FinalPath(HANDLE folder, std::wstring& path) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(
            folder, buffer.data(), static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            return LastError();
        }
        if (length < buffer.size()) {
            path = buffer.substr(0, length);
            return 0;
        }
        buffer.resize(length);
    }
}

HANDLE OpenIn(JournalFiles::Handle folder, const std::string& name, DWORD access, DWORD disposition,
              DWORD flags = 0) {
    return CreateFileW(PathIn(folder, name).c_str(), access, kShareAll, nullptr, disposition,
                       FILE_FLAG_OPEN_REPARSE_POINT | flags, nullptr);
}

bool IsPlainFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information{};
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &information) &&
           (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

// Which file it is: its volume, and its number there.
int IdOf(HANDLE file, FILE_ID_INFO& id) {
    return GetFileInformationByHandleEx(file, FileIdInfo, &id, sizeof id) ? 0 : LastError();
}

// A file deleted the classic way keeps its link until its last handle closes, but is pending.
int HasName(HANDLE file, bool& named) {
    FILE_STANDARD_INFO standard{};
    if (!GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard)) {
        return LastError();
    }
    named = standard.NumberOfLinks > 0 && !standard.DeletePending;
    return 0;
}

// The system's own form of a path that GetFinalPathNameByHandleW gave ("\\?\C:\..." becomes
// "\??\C:\..."), as renames by handle take it.
std::wstring NtPath(std::wstring path) {
    if (path.starts_with(L"\\\\?\\")) {
        path[1] = L'?';
    }
    return path;
}

// Renames with POSIX semantics (Windows 10 on NTFS): the name is replaced at once even while other
// handles have the replaced file open. False where the system or the volume lacks them.
bool RenamePosix(const std::wstring& from, const std::wstring& to) {
    const HANDLE file = CreateFileW(from.c_str(), DELETE | SYNCHRONIZE, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const std::wstring target = NtPath(to);
    const std::size_t bytes = target.size() * sizeof(wchar_t);
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + bytes, 0);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->Flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
    info->FileNameLength = static_cast<DWORD>(bytes);
    std::copy(target.begin(), target.end(), info->FileName);
    const bool renamed =
        SetFileInformationByHandle(file, kRenameInfoEx, info, static_cast<DWORD>(buffer.size()));
    CloseHandle(file);
    return renamed;
}

// Where POSIX semantics are missing (Windows before 10 1709, FAT, exFAT, network volumes), a file
// deleted while any handle has it open keeps its name, and refuses every open, until the last handle
// closes. A file that is in use is therefore first moved aside in its own folder, which frees its
// name at once and never leaves the volume, and it goes only once nothing has it open; until then
// the name aside is kept here and tried again after every close. (A file that this run holds open
// and that went delete-pending under its own name would block every later rewrite.)
std::mutex asideMutex;
std::vector<std::wstring> asideFiles;

constexpr const wchar_t* kAsideMark = L".aside-";

std::wstring AsidePath(const std::wstring& path) {
    static std::atomic<unsigned> count{0};
    return path + kAsideMark + std::to_wstring(GetCurrentProcessId()) + L'-' + std::to_wstring(++count);
}

// Deletes the file if no handle, of this program or another, has it open: opened without sharing,
// it is opened only then.
bool RemoveIfUnused(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    CloseHandle(file);
    return true;
}

void RemoveAside(const std::wstring& aside) {
    if (!RemoveIfUnused(aside)) {
        const std::lock_guard lock(asideMutex);
        asideFiles.push_back(aside);
    }
}

void RetryAside() {
    const std::lock_guard lock(asideMutex);
    std::erase_if(asideFiles, RemoveIfUnused);
}

// Files moved aside by a program that ended before they could go, unless some program uses them.
void RemoveLeftAside(const std::wstring& folder) {
    WIN32_FIND_DATAW entry{};
    const HANDLE search = FindFirstFileExW((folder + L"\\*" + kAsideMark + L'*').c_str(), FindExInfoBasic,
                                           &entry, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        RemoveIfUnused(folder + L'\\' + entry.cFileName);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

// Replaces a file that a handle has open: the target is never doomed before its replacement has
// its name, and comes back if the replacement cannot take it.
int ReplaceInUse(const std::wstring& source, const std::wstring& target) {
    const std::wstring aside = AsidePath(target);
    if (!MoveFileExW(target.c_str(), aside.c_str(), 0)) {
        return LastError();
    }
    if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        const int error = LastError();
        MoveFileExW(aside.c_str(), target.c_str(), 0);
        return error;
    }
    RemoveAside(aside);
    return 0;
}

// Removes a file the classic way: at once if nothing has it open, else moved aside first.
int RemoveInUse(const std::wstring& path) {
    if (RemoveIfUnused(path)) {
        return 0;
    }
    const std::wstring aside = AsidePath(path);
    if (!MoveFileExW(path.c_str(), aside.c_str(), 0)) {
        return LastError();
    }
    RemoveAside(aside);
    return 0;
}

}  // namespace

int JournalFiles::OpenFolder(const std::string& path, bool create, Handle& folder) {
    const std::wstring wide = Utf8ToWide(path);
    if (path.empty() || (create && !MakeFolders(wide))) {
        return -ENOENT;
    }
    // Without FILE_SHARE_DELETE: while the program runs, nobody renames or removes the folder, so
    // its path keeps naming the folder that was checked.
    const HANDLE opened = CreateFileW(
        wide.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL | WRITE_DAC | SYNCHRONIZE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    std::wstring finalPath;
    int result = CheckFolder(opened);
    if (result == 0) {
        result = FinalPath(opened, finalPath);
    }
    if (result != 0) {
        CloseHandle(opened);
        return result;
    }
    RemoveLeftAside(finalPath);
    folder = Adopt(opened, std::move(finalPath));
    return 0;
}

int JournalFiles::List(Handle folder, std::vector<std::string>& names) {
    WIN32_FIND_DATAW entry{};
    const HANDLE search = FindFirstFileExW((Of(folder).folderPath + L"\\*").c_str(), FindExInfoBasic, &entry,
                                           FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    do {
        const std::wstring_view name = entry.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(WideToUtf8(entry.cFileName));
        }
    } while (FindNextFileW(search, &entry));
    const DWORD error = GetLastError();
    FindClose(search);
    return error == ERROR_NO_MORE_FILES ? 0 : ErrorNumber(error);
}

int JournalFiles::CreateNew(Handle folder, const std::string& name, Handle& file) {
    // Write access, not append-only, so that Truncate may shorten the file; Write still appends.
    // Its access list is the private one, whatever the folder's.
    SECURITY_ATTRIBUTES security{sizeof security, Private().file, FALSE};
    const HANDLE created =
        CreateFileW(PathIn(folder, name).c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, kShareAll, &security,
                    CREATE_NEW, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    file = Adopt(created);
    // A new file object of its own (a duplicated handle would share the file's); without it, syncs
    // go through the writing handle.
    Of(file).syncHandle = ReOpenFile(created, GENERIC_WRITE, kShareAll, 0);
    return 0;
}

int JournalFiles::OpenForReading(Handle folder, const std::string& name, Handle& file) {
    // The link itself rather than what it points to, and a folder opened too, so that both are
    // refused below like a device.
    const HANDLE opened = OpenIn(folder, name, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (opened == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    if (!IsPlainFile(opened)) {
        CloseHandle(opened);
        return -EINVAL;
    }
    file = Adopt(opened);
    return 0;
}

std::ptrdiff_t JournalFiles::Read(Handle file, char* buffer, std::size_t size) {
    DWORD read = 0;
    const DWORD asked = size < kMaxTransfer ? static_cast<DWORD>(size) : kMaxTransfer;
    if (!ReadFile(Of(file).handle, buffer, asked, &read, nullptr)) {
        return LastError();
    }
    return read;
}

std::ptrdiff_t JournalFiles::Write(Handle file, const char* data, std::size_t size) {
    // An offset of all ones writes at the file's end, as O_APPEND does.
    OVERLAPPED atEnd{};
    atEnd.Offset = MAXDWORD;
    atEnd.OffsetHigh = MAXDWORD;
    DWORD written = 0;
    const DWORD asked = size < kMaxTransfer ? static_cast<DWORD>(size) : kMaxTransfer;
    if (!WriteFile(Of(file).handle, data, asked, &written, &atEnd)) {
        return LastError();
    }
    return written;
}

int JournalFiles::SyncData(Handle file) {
    const Opened& opened = Of(file);
    const HANDLE flushed = opened.syncHandle != INVALID_HANDLE_VALUE ? opened.syncHandle : opened.handle;
    return FlushFileBuffers(flushed) ? 0 : LastError();
}

int JournalFiles::SyncFolder(Handle) {
    // Nothing to flush: FlushFileBuffers wants a handle that may write, which a folder's is not, and
    // NTFS keeps every change of a name in its own log, which it writes out itself. Should a power
    // cut lose a rename, the rows are on disk all the same under the new file's name, which the
    // scan takes up.
    return 0;
}

int JournalFiles::Truncate(Handle file, std::uint64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return SetFileInformationByHandle(Of(file).handle, FileEndOfFileInfo, &end, sizeof end) ? 0 : LastError();
}

int JournalFiles::Lock(Handle file) {
    OVERLAPPED range{};
    range.OffsetHigh = kLockOffsetHigh;
    if (!LockFileEx(Of(file).handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range)) {
        return LastError();
    }
    Of(file).locked = true;
    return 0;
}

int JournalFiles::IsNamed(Handle folder, const std::string& name, Handle file) {
    const HANDLE named =
        OpenIn(folder, name, FILE_READ_ATTRIBUTES, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (named == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    // The open file was made in the folder, and a file never leaves its volume: the folder's volume
    // is its own. (Wine reports the volume of a renamed open file as 0.)
    FILE_ID_INFO folderId{};
    FILE_ID_INFO openId{};
    FILE_ID_INFO namedId{};
    bool linked = false;
    int result = IdOf(Of(folder).handle, folderId);
    if (result == 0) {
        result = IdOf(Of(file).handle, openId);
    }
    if (result == 0) {
        result = IdOf(named, namedId);
    }
    if (result == 0) {
        result = HasName(Of(file).handle, linked);
    }
    CloseHandle(named);
    if (result != 0) {
        return result;
    }
    const bool same = namedId.VolumeSerialNumber == folderId.VolumeSerialNumber &&
                      std::memcmp(&namedId.FileId, &openId.FileId, sizeof openId.FileId) == 0;
    return linked && same ? 0 : -ENOENT;
}

int JournalFiles::Rename(Handle folder, const std::string& from, const std::string& to) {
    const std::wstring source = PathIn(folder, from);
    const std::wstring target = PathIn(folder, to);
    constexpr DWORD kReplace = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (RenamePosix(source, target) || MoveFileExW(source.c_str(), target.c_str(), kReplace)) {
        return 0;
    }
    // The classic rename refuses to replace a file that any handle has open.
    if (GetLastError() != ERROR_ACCESS_DENIED) {
        return LastError();
    }
    return ReplaceInUse(source, target);
}

int JournalFiles::Link(Handle folder, const std::string& from, const std::string& to) {
    return CreateHardLinkW(PathIn(folder, to).c_str(), PathIn(folder, from).c_str(), nullptr) ? 0
                                                                                              : LastError();
}

int JournalFiles::Unlink(Handle folder, const std::string& name) {
    // Opened without FILE_FLAG_BACKUP_SEMANTICS, so a folder is refused; a link goes itself, never
    // what it points to.
    const std::wstring path = PathIn(folder, name);
    const HANDLE file = CreateFileW(path.c_str(), DELETE | SYNCHRONIZE, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    // With POSIX semantics the name goes at once, as on Linux.
    FILE_DISPOSITION_INFO_EX posix{FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS};
    const bool deleted = SetFileInformationByHandle(file, kDispositionInfoEx, &posix, sizeof posix);
    CloseHandle(file);
    return deleted ? 0 : RemoveInUse(path);
}

int JournalFiles::Close(Handle handle) {
    const std::unique_ptr<Opened> opened(&Of(handle));
    // Windows frees a closed handle's locks only when it gets round to it; unlocked first, the
    // journal is free for a scan the moment it is closed.
    OVERLAPPED range{};
    range.OffsetHigh = kLockOffsetHigh;
    const bool unlocked = !opened->locked || UnlockFileEx(opened->handle, 0, 1, 0, &range);
    const int unlockResult = unlocked ? 0 : LastError();
    if (opened->syncHandle != INVALID_HANDLE_VALUE) {
        CloseHandle(opened->syncHandle);
    }
    const int closeResult = CloseHandle(opened->handle) ? 0 : LastError();
    RetryAside();
    return closeResult != 0 ? closeResult : unlockResult;
}

int JournalFiles::ModificationStamp(Handle file, std::string& stamp) {
    FILETIME written{};
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    if (!GetFileTime(Of(file).handle, nullptr, nullptr, &written) || !FileTimeToSystemTime(&written, &utc) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        return LastError();
    }
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u-%02u%02u%02u", local.wYear, local.wMonth, local.wDay,
                  local.wHour, local.wMinute, local.wSecond);
    stamp = text;
    return 0;
}

std::uint64_t JournalFiles::ProcessId() const { return GetCurrentProcessId(); }

std::string JournalFiles::PathOf(const std::string& folder, const std::string& name) const {
    return folder + '\\' + name;
}

JournalFiles& JournalFiles::System() {
    static JournalFiles files;
    return files;
}

std::string JournalFolder() {
    PWSTR localAppData = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &localAppData))) {
        folder = WideToUtf8(localAppData) + "\\vkx260";
    }
    // Freed whether or not the call succeeded, as the call asks; no folder at all means no journal.
    CoTaskMemFree(localAppData);
    return folder;
}
