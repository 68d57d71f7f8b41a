// The journal's file system on Linux: every file through its folder's descriptor (the *at calls).
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "timelist/JournalFiles.h"

namespace {

constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;

int Descriptor(JournalFiles::Handle handle) { return static_cast<int>(handle); }

// A call's result as the seam returns it: the value itself, or -errno.
template <typename Result>
Result Checked(Result result) {
    return result < 0 ? -errno : result;
}

// Repeats a call that a signal interrupted before it did anything.
template <typename Call>
auto Restarted(Call call) {
    decltype(call()) result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return Checked(result);
}

bool IsAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

// Creates each missing folder of the path; true when the whole path exists.
bool MakeFolders(const std::string& path) {
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        if (::mkdir(path.substr(0, end).c_str(), kFolderMode) < 0 && errno != EEXIST) {
            return false;
        }
        if (end == std::string::npos) {
            return true;
        }
    }
}

int OpenIn(JournalFiles::Handle folder, const std::string& name, int flags, JournalFiles::Handle& file) {
    const int fd = Restarted([&] { return ::openat(Descriptor(folder), name.c_str(), flags, kFileMode); });
    if (fd < 0) {
        return fd;
    }
    file = fd;
    return 0;
}

}  // namespace

int JournalFiles::OpenFolder(const std::string& path, bool create, Handle& folder) {
    if (path.empty() || (create && !MakeFolders(path))) {
        return -ENOENT;
    }
    const int fd =
        Restarted([&] { return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); });
    if (fd < 0) {
        return fd;
    }
    // Another user's folder is never written into: its owner could swap or read every file in it.
    // The user's own is made private again if something opened it to others.
    struct stat status {};
    int result = ::fstat(fd, &status) < 0 ? -errno : 0;
    if (result == 0 && status.st_uid != ::geteuid()) {
        result = -EPERM;
    } else if (result == 0 && (status.st_mode & 077) != 0) {
        result = Checked(::fchmod(fd, kFolderMode));
    }
    if (result != 0) {
        ::close(fd);
        return result;
    }
    folder = fd;
    return 0;
}

int JournalFiles::List(Handle folder, std::vector<std::string>& names) {
    // The listing gets a descriptor of its own: closedir closes it, and reading moves its position.
    const int fd =
        Restarted([&] { return ::openat(Descriptor(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    if (fd < 0) {
        return fd;
    }
    DIR* directory = ::fdopendir(fd);
    if (directory == nullptr) {
        const int error = errno;
        ::close(fd);
        return -error;
    }
    errno = 0;
    while (const dirent* entry = ::readdir(directory)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.emplace_back(entry->d_name);
        }
    }
    const int error = errno;
    ::closedir(directory);
    return -error;
}

int JournalFiles::CreateNew(Handle folder, const std::string& name, Handle& file) {
    return OpenIn(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_APPEND | O_CLOEXEC, file);
}

int JournalFiles::OpenForReading(Handle folder, const std::string& name, Handle& file) {
    // Without following a link and without waiting, so that a FIFO or a device under a journal's
    // name can neither hang the start nor feed it without end; then only a plain file is taken.
    Handle opened = kNoHandle;
    const int result = OpenIn(folder, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, opened);
    if (result != 0) {
        return result;
    }
    struct stat status {};
    if (::fstat(Descriptor(opened), &status) < 0 || !S_ISREG(status.st_mode)) {
        ::close(Descriptor(opened));
        return -EINVAL;
    }
    file = opened;
    return 0;
}

std::ptrdiff_t JournalFiles::Read(Handle file, char* buffer, std::size_t size) {
    return Restarted([&] { return ::read(Descriptor(file), buffer, size); });
}

std::ptrdiff_t JournalFiles::Write(Handle file, const char* data, std::size_t size) {
    return Restarted([&] { return ::write(Descriptor(file), data, size); });
}

int JournalFiles::SyncData(Handle file) {
    return Restarted([&] { return ::fdatasync(Descriptor(file)); });
}

int JournalFiles::SyncFolder(Handle folder) {
    return Restarted([&] { return ::fsync(Descriptor(folder)); });
}

int JournalFiles::Truncate(Handle file, std::uint64_t size) {
    return Restarted([&] { return ::ftruncate(Descriptor(file), static_cast<off_t>(size)); });
}

int JournalFiles::Lock(Handle file) {
    return Restarted([&] { return ::flock(Descriptor(file), LOCK_EX | LOCK_NB); });
}

int JournalFiles::IsNamed(Handle folder, const std::string& name, Handle file) {
    struct stat open {};
    struct stat named {};
    if (::fstat(Descriptor(file), &open) < 0) {
        return -errno;
    }
    if (::fstatat(Descriptor(folder), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) < 0) {
        return -errno;
    }
    const bool same = open.st_dev == named.st_dev && open.st_ino == named.st_ino && open.st_nlink > 0;
    return same ? 0 : -ENOENT;
}

int JournalFiles::Rename(Handle folder, const std::string& from, const std::string& to) {
    return Checked(::renameat(Descriptor(folder), from.c_str(), Descriptor(folder), to.c_str()));
}

int JournalFiles::Link(Handle folder, const std::string& from, const std::string& to) {
    return Checked(::linkat(Descriptor(folder), from.c_str(), Descriptor(folder), to.c_str(), 0));
}

int JournalFiles::Unlink(Handle folder, const std::string& name) {
    return Checked(::unlinkat(Descriptor(folder), name.c_str(), 0));
}

int JournalFiles::Close(Handle handle) { return Checked(::close(Descriptor(handle))); }

int JournalFiles::ModificationStamp(Handle file, std::string& stamp) {
    struct stat status {};
    if (::fstat(Descriptor(file), &status) < 0) {
        return -errno;
    }
    std::tm local{};
    char text[32];
    if (::localtime_r(&status.st_mtime, &local) == nullptr ||
        std::strftime(text, sizeof text, "%Y-%m-%d-%H%M%S", &local) == 0) {
        return -EINVAL;
    }
    stamp = text;
    return 0;
}

std::uint64_t JournalFiles::ProcessId() const { return static_cast<std::uint64_t>(::getpid()); }

std::string JournalFiles::PathOf(const std::string& folder, const std::string& name) const {
    return folder + '/' + name;
}

JournalFiles& JournalFiles::System() {
    static JournalFiles files;
    return files;
}

std::string JournalFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (IsAbsolute(state)) {
        return std::string(state) + "/vkx260";
    }
    const char* home = std::getenv("HOME");
    if (IsAbsolute(home)) {
        return std::string(home) + "/.local/state/vkx260";
    }
    // No folder at all: the journal cannot be written, and the window says so.
    return {};
}
