#include "timelist/JournalFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

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

}  // namespace

int JournalFiles::MakeDirectory(const std::string& path, mode_t mode) {
    return Checked(::mkdir(path.c_str(), mode));
}

int JournalFiles::ListDirectory(const std::string& path, std::vector<std::string>& names) {
    DIR* directory = ::opendir(path.c_str());
    if (directory == nullptr) {
        return -errno;
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

int JournalFiles::Open(const std::string& path, int flags, mode_t mode) {
    return Restarted([&] { return ::open(path.c_str(), flags, mode); });
}

ssize_t JournalFiles::Read(int fd, char* buffer, std::size_t size) {
    return Restarted([&] { return ::read(fd, buffer, size); });
}

ssize_t JournalFiles::Write(int fd, const char* data, std::size_t size) {
    return Restarted([&] { return ::write(fd, data, size); });
}

int JournalFiles::SyncData(int fd) {
    return Restarted([&] { return ::fdatasync(fd); });
}

int JournalFiles::Truncate(int fd, off_t size) {
    return Restarted([&] { return ::ftruncate(fd, size); });
}

int JournalFiles::Lock(int fd) {
    return Restarted([&] { return ::flock(fd, LOCK_EX | LOCK_NB); });
}

int JournalFiles::LinkCount(int fd, nlink_t& links) {
    struct stat status {};
    if (::fstat(fd, &status) < 0) {
        return -errno;
    }
    links = status.st_nlink;
    return 0;
}

int JournalFiles::ModificationTime(int fd, std::time_t& time) {
    struct stat status {};
    if (::fstat(fd, &status) < 0) {
        return -errno;
    }
    time = status.st_mtime;
    return 0;
}

int JournalFiles::Link(const std::string& from, const std::string& to) {
    return Checked(::link(from.c_str(), to.c_str()));
}

int JournalFiles::Rename(const std::string& from, const std::string& to) {
    return Checked(::rename(from.c_str(), to.c_str()));
}

int JournalFiles::Unlink(const std::string& path) { return Checked(::unlink(path.c_str())); }

int JournalFiles::Close(int fd) { return Checked(::close(fd)); }

JournalFiles& JournalFiles::System() {
    static JournalFiles files;
    return files;
}
