#include "timelist/Journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <utility>

#include "timelist/CsvFormat.h"

namespace {

constexpr const char* kPrefix = "vkx260-journal-";
constexpr const char* kSuffix = ".csv";
constexpr const char* kMarkSuffix = ".saved";
constexpr const char* kNewSuffix = ".new";
constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;
// Several, so that a row written while a sync runs starts its own at once instead of waiting for
// it: with one thread a row could wait for two syncs.
constexpr int kSyncThreads = 4;
// Syncs start at most this often, so that a fast stream of rows shares them instead of keeping the
// disk flushing after every row; well within the 100 ms in which a row must be on stable storage.
constexpr auto kSyncSpacing = std::chrono::milliseconds(10);

std::atomic<uint64_t> journalsOfThisProcess{0};

bool IsAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Creates each missing folder of the path; true when the whole path exists.
bool MakeFolders(JournalFiles& files, const std::string& path) {
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const int result = files.MakeDirectory(path.substr(0, end), kFolderMode);
        if (result < 0 && result != -EEXIST) {
            return false;
        }
        if (end == std::string::npos) {
            return true;
        }
    }
}

bool WriteAll(JournalFiles& files, int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = files.Write(fd, bytes.data() + done, bytes.size() - done);
        if (written <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// Writes a small file whole under a new name, then gives it the path; nothing half-written remains.
bool ReplaceWhole(JournalFiles& files, const std::string& path, const std::string& bytes) {
    const std::string temporary = path + kNewSuffix;
    const int fd = files.Open(temporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kFileMode);
    if (fd < 0) {
        return false;
    }
    const bool written = WriteAll(files, fd, bytes);
    const bool closed = files.Close(fd) == 0;
    if (written && closed && files.Rename(temporary, path) == 0) {
        return true;
    }
    files.Unlink(temporary);
    return false;
}

bool ParseNumber(const std::string& text, std::size_t& position, char end, uint64_t& value) {
    const char* first = text.data() + position;
    const char* last = text.data() + text.size();
    const auto [next, error] = std::from_chars(first, last, value);
    if (error != std::errc() || next == first || next == last || *next != end) {
        return false;
    }
    position = static_cast<std::size_t>(next - text.data()) + 1;
    return true;
}

}  // namespace

Journal::Journal(std::string folder, JournalFiles& files)
    : m_folder(std::move(folder)), m_files(files), m_lines(CsvHeaderLine()) {
    const auto startMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    const std::string stem = m_folder + '/' + kPrefix + std::to_string(startMs) + '-' +
                             std::to_string(::getpid()) + '-' + std::to_string(++journalsOfThisProcess);
    m_path = stem + kSuffix;
    m_markPath = stem + kMarkSuffix;
    for (int i = 0; i < kSyncThreads; ++i) {
        m_syncThreads.emplace_back([this] { SyncLoop(); });
    }
}

Journal::~Journal() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    for (std::thread& thread : m_syncThreads) {
        thread.join();
    }
    if (m_fd >= 0) {
        m_files.Close(m_fd);
    }
}

bool Journal::Append(const std::string& index, const std::string& event, const std::string& time) {
    const std::string line = CsvRowLine(index, event, time);
    m_lines += line;
    ++m_rows;
    m_lastLine = line;
    if (FileIsCurrent() && WriteAll(m_files, m_fd, line)) {
        NoteWritten();
        return true;
    }
    // A line cut off by a failed write stays at the file's end until the whole list replaces it.
    m_current = false;
    return WriteWholeFile();
}

bool Journal::Clear() {
    m_lines = CsvHeaderLine();
    m_rows = 0;
    m_lastLine.clear();
    RemoveMark();
    if (m_fd < 0) {
        // No file yet, or none could be made: no row is on disk.
        return true;
    }
    if (FileIsCurrent() && m_files.Truncate(m_fd, static_cast<off_t>(m_lines.size())) == 0) {
        NoteWritten();
        return true;
    }
    m_current = false;
    return WriteWholeFile();
}

void Journal::MarkSaved() {
    if (m_rows == 0 || m_fd < 0) {
        RemoveMark();
        return;
    }
    if (!ReplaceWhole(m_files, m_markPath, std::to_string(m_rows) + '\n' + m_lastLine)) {
        RemoveMark();
    }
}

void Journal::Remove() {
    ReplaceDescriptor(-1);
    m_current = false;
    m_files.Unlink(m_path);
    RemoveMark();
}

bool Journal::FileIsCurrent() {
    // A sync thread found the file gone or failing: what it holds can no longer be trusted.
    if (m_syncFailed.exchange(false)) {
        m_current = false;
    }
    return m_current;
}

bool Journal::WriteWholeFile() {
    if (!MakeFolders(m_files, m_folder)) {
        return false;
    }
    const std::string temporary = m_path + kNewSuffix;
    const int fd = m_files.Open(temporary, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, kFileMode);
    if (fd < 0) {
        return false;
    }
    // Locked before it takes the journal's name, so that no other program ever sees it free.
    if (m_files.Lock(fd) == 0 && WriteAll(m_files, fd, m_lines) && m_files.Rename(temporary, m_path) == 0) {
        ReplaceDescriptor(fd);
        m_current = true;
        NoteWritten();
        return true;
    }
    m_files.Close(fd);
    m_files.Unlink(temporary);
    return false;
}

void Journal::ReplaceDescriptor(int fd) {
    int previous;
    {
        // Waits for a sync of the old descriptor to end, so that it is never closed under a sync.
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return m_activeSyncs == 0; });
        previous = m_fd;
        m_fd = fd;
        m_folderChanged = fd >= 0;
    }
    if (previous >= 0) {
        m_files.Close(previous);
    }
}

void Journal::NoteWritten() {
    bool syncAsked;
    {
        const std::lock_guard lock(m_mutex);
        // While a sync is already asked for, its thread takes these bytes too: no wake-up per row.
        syncAsked = m_writes > m_syncStarted;
        ++m_writes;
    }
    if (!syncAsked) {
        m_wake.notify_one();
    }
}

void Journal::SyncLoop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_writes > m_syncStarted; });
        if (m_stop) {
            return;
        }
        if (const auto due = m_lastSyncStart + kSyncSpacing; std::chrono::steady_clock::now() < due) {
            m_wake.wait_until(lock, due, [this] { return m_stop; });
            continue;
        }
        m_lastSyncStart = std::chrono::steady_clock::now();
        m_syncStarted = m_writes;
        const int fd = m_fd;
        const bool folderChanged = std::exchange(m_folderChanged, false);
        ++m_activeSyncs;
        lock.unlock();
        nlink_t links = 0;
        bool kept = fd < 0 || (m_files.SyncData(fd) == 0 && m_files.LinkCount(fd, links) == 0 && links > 0);
        if (kept && folderChanged) {
            // A new file's name is on stable storage only once its folder is.
            const int folder = m_files.Open(m_folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
            kept = folder >= 0 && m_files.SyncData(folder) == 0;
            if (folder >= 0) {
                m_files.Close(folder);
            }
        }
        lock.lock();
        --m_activeSyncs;
        if (!kept && fd == m_fd) {
            m_syncFailed = true;
        }
        m_idle.notify_all();
    }
}

void Journal::RemoveMark() { m_files.Unlink(m_markPath); }

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

bool ParseJournalName(const std::string& name, JournalName& parsed) {
    const std::string prefix = kPrefix;
    if (name.compare(0, prefix.size(), prefix) != 0 || !EndsWith(name, kSuffix)) {
        return false;
    }
    std::size_t position = prefix.size();
    return ParseNumber(name, position, '-', parsed.startMs) &&
           ParseNumber(name, position, '-', parsed.processId) &&
           ParseNumber(name, position, '.', parsed.number) && name.substr(position - 1) == kSuffix;
}

std::string SavedMarkPath(const std::string& journalPath) {
    return journalPath.substr(0, journalPath.size() - std::string(kSuffix).size()) + kMarkSuffix;
}
