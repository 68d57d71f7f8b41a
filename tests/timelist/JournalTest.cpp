#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <random>

#include "timelist/CellText.h"
#include "timelist/CsvFormat.h"
#include "timelist/Journal.h"
#include "timelist/UnsavedJournal.h"

namespace {

namespace fs = std::filesystem;
using Rows = std::vector<UnsavedJournal::Row>;

// The real file system, except that creating a file fails while `failing` is set, the first
// `failingSyncs` syncs fail, and folder syncs stall while `stallFolderSyncs` is set. It counts the
// files created, the syncs that ended and the names looked up, and records the names removed.
struct SwitchedFiles : JournalFiles {
    int CreateNew(Handle folder, const std::string& name, Handle& file) override {
        ++created;
        return failing ? -EACCES : JournalFiles::CreateNew(folder, name, file);
    }
    int SyncData(Handle file) override {
        const int result = failingSyncs > 0 ? (--failingSyncs, -EIO) : JournalFiles::SyncData(file);
        const std::lock_guard lock(mutex);
        ++synced;
        syncEnded.notify_all();
        return result;
    }
    int SyncFolder(Handle folder) override {
        {
            std::unique_lock lock(mutex);
            ++folderSyncs;
            syncEnded.notify_all();
            syncEnded.wait(lock, [&] { return !stallFolderSyncs; });
        }
        return JournalFiles::SyncFolder(folder);
    }
    int IsNamed(Handle folder, const std::string& name, Handle file) override {
        const int result = JournalFiles::IsNamed(folder, name, file);
        const std::lock_guard lock(mutex);
        ++named;
        syncEnded.notify_all();
        return result;
    }
    int Unlink(Handle folder, const std::string& name) override {
        const int result = JournalFiles::Unlink(folder, name);
        const std::lock_guard lock(mutex);
        unlinked.push_back(name);
        syncEnded.notify_all();
        return result;
    }
    // A mutex and a condition rather than std::atomic::wait, whose wake-up GCC 12 can lose where
    // the system has no futex (Windows).
    void WaitForSyncs(int count) {
        std::unique_lock lock(mutex);
        syncEnded.wait(lock, [&] { return synced >= count; });
    }
    // False when the condition still does not hold after far longer than any sync takes.
    bool WaitFor(const std::function<bool()>& condition) {
        std::unique_lock lock(mutex);
        return syncEnded.wait_for(lock, std::chrono::seconds(20), condition);
    }
    bool Now(const std::function<bool()>& condition) {
        const std::lock_guard lock(mutex);
        return condition();
    }
    void StallFolderSyncs(bool stall) {
        const std::lock_guard lock(mutex);
        stallFolderSyncs = stall;
        syncEnded.notify_all();
    }
    bool failing = false;
    std::atomic<int> failingSyncs{0};
    int created = 0;
    std::mutex mutex;
    std::condition_variable syncEnded;
    int synced = 0;
    bool stallFolderSyncs = false;
    int folderSyncs = 0;
    int named = 0;
    std::vector<std::string> unlinked;
};

std::string Contents(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// What a save of these rows writes.
std::string SavedBytes(const Rows& rows) {
    std::string bytes = CsvHeaderLine();
    for (const UnsavedJournal::Row& row : rows) {
        bytes += CsvRowLine(row.index, row.event, row.time);
    }
    return bytes;
}

Rows ListRows(int count) {
    Rows rows;
    for (int i = 0; i < count; ++i) {
        const TimeEvent event{static_cast<uint8_t>(i % 5), 1, 2, 3, i};
        rows.push_back({IndexText(i + 1), EventText(event.kind), TimeText(event)});
    }
    return rows;
}

class JournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("vkx-journal-test-" + std::to_string(std::random_device()()));
        ASSERT_TRUE(fs::create_directory(root));
        folder = (root / "state/vkx260").string();
    }
    void TearDown() override { fs::remove_all(root); }
    long Entries() const { return std::distance(fs::directory_iterator(folder), {}); }

    fs::path root;
    std::string folder;
    SwitchedFiles files;
};

TEST_F(JournalTest, WhatIsOfferedAfterACrash) {
    struct Case {
        const char* name;
        int rows;
        std::function<void(Journal&)> beforeCrash;
        std::string appended;  // bytes that a power cut left at the end
        int offered;           // rows offered; 0 for no offer
        int rewriteRows = -1;  // rows of a rewrite's new file that a crash left beside it
    };
    const Case cases[] = {
        {"rows up to the four-digit numbering", 1001, {}, "", 1001},
        {"cut-off last line", 3, {}, "004,Lap,00:0", 3},
        {"saved", 3, [](Journal& j) { j.MarkSaved(); }, "", 0},
        {"a row after the save", 3, [](Journal& j) { j.MarkSaved(), j.Append("004", "Lap", "01:02:03:004"); },
         "", 4},
        {"cleared after the save", 3,
         [](Journal& j) { j.MarkSaved(), j.Clear(), j.Append("001", "Start", "01:02:03:000"); }, "", 1},
        {"cleared", 3, [](Journal& j) { j.Clear(); }, "", 0},
        {"a rewrite cut short, holding more rows", 3, {}, "", 4, 4},
        {"a rewrite's leftover, holding fewer rows", 3, {}, "", 3, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder);
        const Rows rows = ListRows(c.rows);
        std::string path;
        {
            Journal journal(folder, files);
            for (const UnsavedJournal::Row& row : rows) {
                EXPECT_TRUE(journal.Append(row.index, row.event, row.time));
            }
            if (c.beforeCrash) {
                c.beforeCrash(journal);
            }
            path = journal.Path();
            std::ofstream(path, std::ios::binary | std::ios::app) << c.appended;
            if (c.rewriteRows >= 0) {
                std::ofstream(NewFileName(path), std::ios::binary) << SavedBytes(ListRows(c.rewriteRows));
            }
            EXPECT_TRUE(FindUnsavedJournals(folder).empty()) << "a running program's journal is offered";
        }
        std::ofstream(fs::path(folder) / "vkx260-journal-1-2-3.csv.txt") << "not a journal";
        std::vector<UnsavedJournal> offered = FindUnsavedJournals(folder);
        if (c.offered == 0) {
            EXPECT_TRUE(offered.empty());
            EXPECT_EQ(Entries(), 1) << "a journal with nothing unsaved is left, or a stranger removed";
            continue;
        }
        ASSERT_EQ(offered.size(), 1u);
        EXPECT_EQ(offered[0].Rows().size(), static_cast<std::size_t>(c.offered));
        if (c.rows == c.offered) {
            EXPECT_EQ(Contents(path), SavedBytes(rows) + c.appended);
            EXPECT_TRUE(offered[0].Rows() == rows);
        }
        std::string kept;
        ASSERT_TRUE(offered[0].KeepAsPlainFile(kept));
        EXPECT_EQ(fs::path(kept).filename().string().size(), sizeof "vkx260-2026-12-07-143205.csv" - 1);
        EXPECT_TRUE(FindUnsavedJournals(folder).empty()) << "a kept file is offered again";
        EXPECT_EQ(Entries(), 2);
    }
}

TEST_F(JournalTest, FolderThatCannotBeWrittenFailsUntilItCanAndThenHoldsEveryRow) {
    const Rows rows = ListRows(3);
    {
        Journal journal(folder, files);
        for (const UnsavedJournal::Row& row : rows) {
            files.failing = &row != &rows.back();
            EXPECT_EQ(journal.Append(row.index, row.event, row.time), !files.failing);
        }
        EXPECT_EQ(Contents(journal.Path()), SavedBytes(rows));
        journal.Remove();
    }
    // Where a name cannot go while its file is open (Windows without POSIX semantics), the file
    // waits aside until the journal closes it.
    EXPECT_EQ(Entries(), 0);
    EXPECT_TRUE(FindUnsavedJournals((root / "unreadable").string()).empty());
}

TEST_F(JournalTest, SyncThatFailsIsToldOnceAndCaughtUpWithOneRewrite) {
    const Rows rows = ListRows(4);
    files.failingSyncs = 1;
    Journal journal(folder, files);
    int told = 0;
    for (int i = 0; i < 4; ++i) {
        // The failure reaches the window with the row after the sync, or the one after that.
        told += !journal.Append(rows[i].index, rows[i].event, rows[i].time);
        files.WaitForSyncs(i + 1);
    }
    EXPECT_EQ(told, 1);
    EXPECT_EQ(files.created, 2) << "not one rewrite for the one failure";
    EXPECT_EQ(Contents(journal.Path()), SavedBytes(rows));
    journal.Remove();
}

TEST_F(JournalTest, RestoredJournalGoesOnceItsRowsAreSyncedWhicheverSyncEndsLast) {
    const Rows rows = ListRows(2);
    {
        Journal crashed(folder, files);
        for (const UnsavedJournal::Row& row : rows) {
            ASSERT_TRUE(crashed.Append(row.index, row.event, row.time));
        }
    }
    std::vector<UnsavedJournal> offered = FindUnsavedJournals(folder, files);
    ASSERT_EQ(offered.size(), 1u);
    const std::string oldName = fs::path(offered[0].Path()).filename().string();
    const auto oldGone = [&] {
        return std::find(files.unlinked.begin(), files.unlinked.end(), oldName) != files.unlinked.end();
    };

    // "Ja": the first restored row makes this run's file, and the sync that makes its name stable
    // stalls; a later sync holds both rows and ends first.
    files.StallFolderSyncs(true);
    int folderSyncs = 0;
    files.Now([&] { return folderSyncs = files.folderSyncs, true; });
    Journal journal(folder, files);
    ASSERT_TRUE(journal.Append(rows[0].index, rows[0].event, rows[0].time));
    ASSERT_TRUE(files.WaitFor([&] { return files.folderSyncs > folderSyncs; }));
    int named = 0;
    files.Now([&] { return named = files.named, true; });
    ASSERT_TRUE(journal.Append(rows[1].index, rows[1].event, rows[1].time));
    journal.DropOnceSynced(std::move(offered[0]));
    ASSERT_TRUE(files.WaitFor([&] { return files.named > named; }));
    EXPECT_FALSE(files.Now(oldGone)) << "the old journal went before this run's name was stable";
    files.StallFolderSyncs(false);
    EXPECT_TRUE(files.WaitFor(oldGone)) << "the old journal waits for a sync that never comes";
    journal.Remove();
}

}  // namespace
