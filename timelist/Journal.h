#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "timelist/JournalFiles.h"
#include "timelist/UnsavedJournal.h"

// The journal of the list: every row that the window lists is written at once to a file of this
// run's own, so that a crash, a kill or a power cut loses no time. The file is a time-list file
// exactly as a save writes it, so any spreadsheet opens it even if the program never starts again:
//
//   offset  bytes
//   0       "Index,Event,Zeit" 0D 0A           header line, 18 bytes
//   18      "001,Start,00:01:02.345" 0D 0A     one line per row since the last clearing, in order
//   42      "002,Lap,00:01:05.010" 0D 0A       ...
//
// Name: "vkx260-journal-<start, ms since 1970>-<process id>-<journal of the process>.csv", in
// the state folder (see JournalFolder; private to the user), locked for the journal's whole life, so
// that a lock that is free means that its program is gone.
//
// After a save, a mark beside it, "<journal name minus .csv>.saved", says how much of the list
// was saved: the number of rows, LF, and the last row's line as the journal holds it. The journal
// itself stays a plain time-list file; a mark that does not match the journal's rows (lost in a
// power cut, or left from before a clearing) counts as no mark, so the rows are offered again.
//
// What it owns: the file and its lock, the mark, a copy of the list's lines since the last clearing
// (so that after a failed write it can write the whole list again), and four threads that bring
// what was written to stable storage, so that the window's thread never waits for a sync (its own
// writes go to the system's cache, which only a failing or overfull disk holds up), and the
// journals left behind whose rows it took, until they are on stable storage here.
class Journal {
public:
    // The folder does not need to exist; it is created when the first row comes.
    explicit Journal(std::string folder, JournalFiles& files = JournalFiles::System());
    // Leaves the file where it is, as a crash would: only Remove is a normal end.
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Writes the row's line as a save writes it, before returning. False when the file could not be
    // written, or a sync of earlier rows failed: the row is kept, and the whole list is written to a
    // new file, once per failure and at most once a second, until writing works again.
    bool Append(const std::string& index, const std::string& event, const std::string& time);
    // The list was emptied: the file keeps its header line only, and the mark goes.
    bool Clear();
    // For the window to call now and then, so that a failed sync of the last row is told without
    // waiting for another: false when a sync failed since the last call, Append or Clear, and then
    // the whole list goes to a new file as after a failed write.
    bool Check();
    // The rows of a journal left behind were appended to this one: the old journal goes once a sync
    // has brought them to stable storage here. Until then it keeps its name and lock, so that a crash,
    // or a journal here that cannot be written, leaves it to be offered at the next start.
    void DropOnceSynced(UnsavedJournal old);
    // The list, as far as it goes now, was saved completely. A mark that cannot be written only
    // means that the rows are offered after a crash.
    void MarkSaved();
    // The program ends normally: the file and its mark go.
    void Remove();

    const std::string& Folder() const { return m_folder; }
    const std::string& Path() const { return m_path; }

private:
    // True while a sync failed on the current file and the whole list was not yet written anew.
    bool TakeSyncFailure();
    bool ClearFile();
    // Writes the whole list to a new file that then replaces the journal at once.
    bool WriteWholeFile();
    void ReplaceFile(JournalFiles::Handle file);
    // True when this many writes are on stable storage under the journal's name; with the mutex held.
    bool IsStable(uint64_t writes) const;
    // The replaced files that no sync works on any more; called with the mutex held.
    std::vector<JournalFiles::Handle> TakeUnusedRetired();
    void NoteWritten();
    void SyncLoop();
    void RemoveMark();

    std::string m_folder;
    std::string m_name;
    std::string m_markName;
    std::string m_path;
    JournalFiles& m_files;
    std::string m_lines;  // header and rows since the last clearing
    int32_t m_rows = 0;
    std::string m_lastLine;
    bool m_current = false;
    std::chrono::steady_clock::time_point m_lastCatchUp;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    JournalFiles::Handle m_folderHandle = JournalFiles::kNoHandle;
    JournalFiles::Handle m_file = JournalFiles::kNoHandle;
    uint64_t m_writes = 0;
    uint64_t m_syncStarted = 0;
    std::vector<JournalFiles::Handle> m_syncing;  // the file of each sync under way
    std::vector<JournalFiles::Handle> m_retired;  // replaced files, not closed yet
    uint64_t m_rewrites = 0;
    bool m_nameStable = false;    // the current file's name is on stable storage
    uint64_t m_syncedWrites = 0;  // the writes that ended syncs of the current file hold
    struct Superseded {
        UnsavedJournal journal;
        uint64_t writes;  // the number of writes that hold its rows
    };
    std::vector<Superseded> m_superseded;
    std::chrono::steady_clock::time_point m_lastSyncStart;
    bool m_folderChanged = false;
    bool m_stop = false;
    std::atomic<bool> m_syncFailed{false};
    std::vector<std::thread> m_syncThreads;
};

// The parts of a journal's file name; false for any other name.
struct JournalName {
    uint64_t startMs = 0;
    uint64_t processId = 0;
    uint64_t number = 0;
};
bool ParseJournalName(const std::string& name, JournalName& parsed);
// The name of the mark of the journal of this name.
std::string SavedMarkName(const std::string& journalName);
// The name under which a journal, or its mark, is written whole before it takes its own name.
std::string NewFileName(const std::string& name);
