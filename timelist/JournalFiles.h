#pragma once

#include <sys/types.h>

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

// What the journal asks of the file system, one system call each. Every call returns 0 (or the
// descriptor, or the byte count) on success and -errno on failure, so that no result hides in errno.
// The default implementation makes the real calls; a test or a benchmark derives from it to make one
// call fail or stall.
class JournalFiles {
public:
    virtual ~JournalFiles() = default;

    virtual int MakeDirectory(const std::string& path, mode_t mode);
    // The names in the folder, "." and ".." left out.
    virtual int ListDirectory(const std::string& path, std::vector<std::string>& names);
    virtual int Open(const std::string& path, int flags, mode_t mode);
    virtual ssize_t Read(int fd, char* buffer, std::size_t size);
    virtual ssize_t Write(int fd, const char* data, std::size_t size);
    virtual int SyncData(int fd);
    virtual int Truncate(int fd, off_t size);
    // An exclusive lock without waiting: -EWOULDBLOCK while another open file holds it.
    virtual int Lock(int fd);
    // The number of names the open file still has: 0 once it was removed.
    virtual int LinkCount(int fd, nlink_t& links);
    virtual int ModificationTime(int fd, std::time_t& time);
    virtual int Link(const std::string& from, const std::string& to);
    virtual int Rename(const std::string& from, const std::string& to);
    virtual int Unlink(const std::string& path);
    virtual int Close(int fd);

    // The real file system.
    static JournalFiles& System();
};
