#include "timelist/Journal.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <utility>

#include "timelist/CsvFormat.h"

namespace {

using Handle = JournalFiles::Handle;

constexpr const char* kPrefix = "vkx260-journal-";
constexpr const char* kSuffix = ".csv";
constexpr const char* kMarkSuffix = ".saved";
constexpr const char* kNewSuffix = ".new";
// Several, so that a row written while a sync runs starts its own at once instead of waiting for
// it: with one thread a row could wait for two syncs.
constexpr int kSyncThreads = 4;
// Syncs start at most this often, so that a fast stream of rows shares them instead of keeping the
// disk flushing after every row; well within the 100 ms in which a row must be on stable storage.
constexpr auto kSyncSpacing = std::chrono::milliseconds(10);
// Rewrites after failed syncs start at most this often.
constexpr auto kCatchUpSpacing = std::chrono::seconds(1);

std::atomic<uint64_t> journalsOfThisProcess{0};

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool WriteAll(JournalFiles& files, Handle file, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::ptrdiff_t written = files.Write(file, bytes.data() + done, bytes.size() - done);
        if (written <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// A new file under the name; a file left there by a write that failed, or a crash, goes first.
int CreateReplacingLeftover(JournalFiles& files, Handle folder, const std::string& name, Handle& file) {
    const int created = files.CreateNew(folder, name, file);
    if (created != -EEXIST || files.Unlink(folder, name) != 0) {
        return created;
    }
    return files.CreateNew(folder, name, file);
}

// Writes a small file whole under a new name, then gives it the name; nothing half-written remains.
bool ReplaceWhole(JournalFiles& files, Handle folder, const std::string& name, const std::string& bytes) {
    const std::string temporary = NewFileName(name);
    Handle file = JournalFiles::kNoHandle;
    if (CreateReplacingLeftover(files, folder, temporary, file) != 0) {
        return false;
    }
    const bool written = WriteAll(files, file, bytes);
    const bool closed = files.Close(file) == 0;
    if (written && closed && files.Rename(folder, temporary, name) == 0) {
        return true;
    }
    files.Unlink(folder, temporary);
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
    const std::string stem = kPrefix + std::to_string(startMs) + '-' + std::to_string(m_files.ProcessId()) +
                             '-' + std::to_string(++journalsOfThisProcess);
    m_name = stem + kSuffix;
    m_markName = stem + kMarkSuffix;
    m_path = m_files.PathOf(m_folder, m_name);
    m_lastCatchUp = std::chrono::steady_clock::now() - kCatchUpSpacing;
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
    m_retired.push_back(m_file);
    for (const Handle file : m_retired) {
        if (file != JournalFiles::kNoHandle) {
            m_files.Close(file);
        }
    }
    if (m_folderHandle != JournalFiles::kNoHandle) {
        m_files.Close(m_folderHandle);
    }
}

bool Journal::Append(const std::string& index, const std::string& event, const std::string& time) {
    const std::string line = CsvRowLine(index, event, time);
    m_lines += line;
    ++m_rows;
    m_lastLine = line;
    const bool syncFailed = TakeSyncFailure();
    if (m_current && WriteAll(m_files, m_file, line)) {
        NoteWritten();
        return !syncFailed;
    }
    // A line cut off by a failed write stays at the file's end until the whole list replaces it.
    m_current = false;
    return WriteWholeFile() && !syncFailed;
}

bool Journal::Clear() {
    m_lines = CsvHeaderLine();
    m_rows = 0;
    m_lastLine.clear();
    // The rows go before their mark, so that a crash in between never offers rows that were saved.
    const bool cleared = ClearFile();
    RemoveMark();
    return cleared;
}

bool Journal::Check() {
    if (!TakeSyncFailure()) {
        return true;
    }
    if (!m_current) {
        WriteWholeFile();
    }
    return false;
}

bool Journal::ClearFile() {
    if (m_file == JournalFiles::kNoHandle) {
        // No file yet, or none could be made: no row is on disk.
        return true;
    }
    const bool syncFailed = TakeSyncFailure();
    if (m_current && m_files.Truncate(m_file, m_lines.size()) == 0) {
        NoteWritten();
        return !syncFailed;
    }
    m_current = false;
    return WriteWholeFile() && !syncFailed;
}

void Journal::DropOnceSynced(UnsavedJournal old) {
    {
        const std::lock_guard lock(m_mutex);
        // Its rows are in the lines written so far, or, after a failed write, in the whole list that
        // the next write puts into a new file.
        const uint64_t writes = m_current ? m_writes : m_writes + 1;
        if (!IsStable(writes)) {
            m_superseded.push_back({std::move(old), writes});
            return;
        }
    }
    // The syncs that hold its rows have ended already: no other sync may come.
    old.Drop();
}

void Journal::MarkSaved() {
    if (m_rows == 0 || m_file == JournalFiles::kNoHandle) {
        RemoveMark();
        return;
    }
    if (!ReplaceWhole(m_files, m_folderHandle, m_markName, std::to_string(m_rows) + '\n' + m_lastLine)) {
        RemoveMark();
    }
}

void Journal::Remove() {
    // The names go while the lock is still held, so that no scan finds the file free in between.
    if (m_folderHandle != JournalFiles::kNoHandle) {
        m_files.Unlink(m_folderHandle, m_name);
    }
    RemoveMark();
    // At a normal end the operator has had the list, restored rows and all, to save.
    std::vector<Superseded> superseded;
    {
        const std::lock_guard lock(m_mutex);
        superseded.swap(m_superseded);
    }
    for (Superseded& old : superseded) {
        old.journal.Drop();
    }
    ReplaceFile(JournalFiles::kNoHandle);
    m_current = false;
}

bool Journal::TakeSyncFailure() {
    // A sync thread found the file gone or failing: what it holds can no longer be trusted, and the
    // whole list goes to a new file once, as after a failed write. While syncs keep failing, that
    // waits for the spacing, since every rewrite puts more work on the failing disk.
    if (!m_syncFailed) {
        return false;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastCatchUp >= kCatchUpSpacing) {
        m_syncFailed = false;
        m_current = false;
        m_lastCatchUp = now;
    }
    return true;
}

bool Journal::WriteWholeFile() {
    if (m_folderHandle == JournalFiles::kNoHandle) {
        Handle folder = JournalFiles::kNoHandle;
        if (m_files.OpenFolder(m_folder, true, folder) != 0) {
            return false;
        }
        const std::lock_guard lock(m_mutex);
        m_folderHandle = folder;
    }
    const std::string temporary = NewFileName(m_name);
    Handle file = JournalFiles::kNoHandle;
    if (CreateReplacingLeftover(m_files, m_folderHandle, temporary, file) != 0) {
        return false;
    }
    {
        const std::lock_guard lock(m_mutex);
        ++m_rewrites;
    }
    // Locked before it takes the journal's name, so that no other program ever sees it free.
    if (m_files.Lock(file) == 0 && WriteAll(m_files, file, m_lines) &&
        m_files.Rename(m_folderHandle, temporary, m_name) == 0) {
        ReplaceFile(file);
        m_current = true;
        NoteWritten();
        return true;
    }
    m_files.Close(file);
    m_files.Unlink(m_folderHandle, temporary);
    return false;
}

void Journal::ReplaceFile(Handle file) {
    const std::lock_guard lock(m_mutex);
    // A sync thread closes the replaced file once no sync works on it: closing the last handle of a
    // removed file frees it on the disk, which takes milliseconds that the window never waits for.
    if (m_file != JournalFiles::kNoHandle) {
        m_retired.push_back(m_file);
    }
    m_file = file;
    m_folderChanged = file != JournalFiles::kNoHandle;
    m_nameStable = false;
    m_syncedWrites = 0;
}

bool Journal::IsStable(uint64_t writes) const {
    return m_file != JournalFiles::kNoHandle && m_nameStable && writes <= m_syncedWrites;
}

std::vector<Handle> Journal::TakeUnusedRetired() {
    std::vector<Handle> unused;
    for (auto it = m_retired.begin(); it != m_retired.end();) {
        if (std::find(m_syncing.begin(), m_syncing.end(), *it) == m_syncing.end()) {
            unused.push_back(*it);
            it = m_retired.erase(it);
        } else {
            ++it;
        }
    }
    return unused;
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
        const uint64_t covered = m_syncStarted = m_writes;
        const Handle file = m_file;
        const Handle folder = m_folderHandle;
        const bool folderChanged = std::exchange(m_folderChanged, false);
        const uint64_t rewrites = m_rewrites;
        m_syncing.push_back(file);
        lock.unlock();
        bool kept = file == JournalFiles::kNoHandle ||
                    (m_files.SyncData(file) == 0 && m_files.IsNamed(folder, m_name, file) == 0);
        if (kept && folderChanged) {
            // A new file's name is on stable storage only once its folder is.
            kept = m_files.SyncFolder(folder) == 0;
        }
        lock.lock();
        m_syncing.erase(std::find(m_syncing.begin(), m_syncing.end(), file));
        // A rewrite under way takes the file's name before it takes its place: not a failure.
        if (!kept && file == m_file && rewrites == m_rewrites) {
            m_syncFailed = true;
        }
        if (kept && file == m_file && file != JournalFiles::kNoHandle) {
            m_nameStable = m_nameStable || folderChanged;
            m_syncedWrites = std::max(m_syncedWrites, covered);
        }
        // Syncs end in any order: the one that makes the name stable may end after a later one that
        // already holds the rows, and then no sync is left to come for them.
        std::vector<Superseded> stable;
        std::vector<Superseded> waiting;
        for (Superseded& old : m_superseded) {
            (IsStable(old.writes) ? stable : waiting).push_back(std::move(old));
        }
        m_superseded.swap(waiting);
        const std::vector<Handle> unused = TakeUnusedRetired();
        lock.unlock();
        for (const Handle retired : unused) {
            m_files.Close(retired);
        }
        for (Superseded& old : stable) {
            old.journal.Drop();
        }
        stable.clear();
        lock.lock();
    }
}

void Journal::RemoveMark() {
    if (m_folderHandle != JournalFiles::kNoHandle) {
        m_files.Unlink(m_folderHandle, m_markName);
    }
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

std::string SavedMarkName(const std::string& journalName) {
    return journalName.substr(0, journalName.size() - std::string(kSuffix).size()) + kMarkSuffix;
}

std::string NewFileName(const std::string& name) { return name + kNewSuffix; }
