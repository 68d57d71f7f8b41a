#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the journal asks of the file system, each operation named after what it is for, so that
// every platform fills it with its own calls. Files and folders are small opaque handles. Every
// operation returns 0 (or a byte count) on success and a negative error number of <cerrno> on
// failure, so that no result hides in a global: -EEXIST for a name that is taken, -EWOULDBLOCK for a
// lock that another open file holds, -ENOENT for a name that no longer names the open file, -EPERM
// for a folder that is not the user's own.
// System() is the platform's real file system; a test or a benchmark derives from it to make one
// operation fail or stall.
class JournalFiles {
public:
    using Handle = std::intptr_t;
    static constexpr Handle kNoHandle = -1;

    virtual ~JournalFiles() = default;

    // Opens the program's state folder; with `create`, makes it and whatever is missing above it.
    // Only a folder of the user's own, never through a link: -EPERM for a folder of someone else's.
    // It is made private (Linux: mode 0700; Windows: a protected access list of the user, SYSTEM
    // and the administrators). Every file below is reached through this handle.
    virtual int OpenFolder(const std::string& path, bool create, Handle& folder);
    // The names in the folder, "." and ".." left out.
    virtual int List(Handle folder, std::vector<std::string>& names);
    // Creates a file for appending that only this user may read (mode 0600; the private access
    // list); -EEXIST when the name is taken, even by a link.
    virtual int CreateNew(Handle folder, const std::string& name, Handle& file);
    // Opens a plain file, never through a link and never waiting for a writer; -EINVAL for
    // anything else under the name (a FIFO, a device, a folder).
    virtual int OpenForReading(Handle folder, const std::string& name, Handle& file);
    virtual std::ptrdiff_t Read(Handle file, char* buffer, std::size_t size);
    virtual std::ptrdiff_t Write(Handle file, const char* data, std::size_t size);
    virtual int SyncData(Handle file);
    // Brings the folder's names (a new file, a rename) to stable storage.
    virtual int SyncFolder(Handle folder);
    virtual int Truncate(Handle file, std::uint64_t size);
    // An exclusive lock without waiting, held until the file is closed.
    virtual int Lock(Handle file);
    // 0 when the name in the folder is the open file itself; -ENOENT once the file was removed, or
    // another file took its name.
    virtual int IsNamed(Handle folder, const std::string& name, Handle file);
    // Gives the file a new name, replacing a file of that name.
    virtual int Rename(Handle folder, const std::string& from, const std::string& to);
    // Gives the file a second name, never replacing a file: -EEXIST when the name is taken.
    virtual int Link(Handle folder, const std::string& from, const std::string& to);
    virtual int Unlink(Handle folder, const std::string& name);
    virtual int Close(Handle handle);
    // The time of the file's last change, local time, as "2026-12-07-143205".
    virtual int ModificationStamp(Handle file, std::string& stamp);

    std::uint64_t ProcessId() const;
    // The path of a name in the folder, for the operator's eyes.
    std::string PathOf(const std::string& folder, const std::string& name) const;

    // The real file system.
    static JournalFiles& System();
};

// The program's state folder ($XDG_STATE_HOME/vkx260, or ~/.local/state/vkx260 when the variable is
// unset or not absolute, on Linux; %LOCALAPPDATA%\vkx260 on Windows); empty when there is none.
std::string JournalFolder();
