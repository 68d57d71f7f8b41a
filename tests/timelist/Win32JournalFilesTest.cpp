// What only the journal's Windows file calls do: byte-range locks, which Windows enforces, and
// names that must be free at once although a handle still has their file open.
#include <gtest/gtest.h>
#include <windows.h>

#include <cerrno>
#include <filesystem>
#include <random>
#include <string>
#include <utility>

#include "timelist/CsvFormat.h"
#include "timelist/Journal.h"
#include "timelist/UnsavedJournal.h"

namespace {

namespace fs = std::filesystem;
using Handle = JournalFiles::Handle;

TEST(Win32JournalFiles, LocksAndNamesOfOpenFiles) {
    const fs::path root =
        fs::temp_directory_path() / ("vkx-journal-files-" + std::to_string(std::random_device()()));
    ASSERT_TRUE(fs::create_directory(root));
    JournalFiles& files = JournalFiles::System();
    Handle folder = JournalFiles::kNoHandle;
    ASSERT_EQ(files.OpenFolder(root.string(), false, folder), 0);
    const std::string journal = "vkx260-journal-1-2-3.csv";
    const std::string bytes = CsvHeaderLine() + CsvRowLine("001", "Start", "00:00:01:000");

    // A live journal: another handle can neither lock it nor is barred from reading it, and a scan
    // passes over it.
    Handle live = JournalFiles::kNoHandle;
    ASSERT_EQ(files.CreateNew(folder, journal, live), 0);
    ASSERT_EQ(files.Lock(live), 0);
    ASSERT_EQ(files.Write(live, bytes.data(), bytes.size()), static_cast<std::ptrdiff_t>(bytes.size()));
    Handle reader = JournalFiles::kNoHandle;
    ASSERT_EQ(files.OpenForReading(folder, journal, reader), 0);
    EXPECT_EQ(files.Lock(reader), -EWOULDBLOCK);
    char buffer[256];
    EXPECT_EQ(files.Read(reader, buffer, sizeof buffer), static_cast<std::ptrdiff_t>(bytes.size()));
    EXPECT_TRUE(FindUnsavedJournals(root.string(), files).empty()) << "a live journal is offered";

    // Its program gone, the scan finds it free and holds its lock while it offers it.
    EXPECT_EQ(files.Close(live), 0);
    {
        const std::vector<UnsavedJournal> offered = FindUnsavedJournals(root.string(), files);
        EXPECT_EQ(offered.size(), 1u);
        EXPECT_EQ(files.Lock(reader), -EWOULDBLOCK);
    }
    EXPECT_EQ(files.Lock(reader), 0);

    // A new file renamed over the open journal takes its name at once; removed while open, it
    // frees the name at once for a new file.
    Handle replacement = JournalFiles::kNoHandle;
    ASSERT_EQ(files.CreateNew(folder, journal + ".new", replacement), 0);
    EXPECT_EQ(files.Rename(folder, journal + ".new", journal), 0);
    EXPECT_EQ(files.IsNamed(folder, journal, reader), -ENOENT);
    EXPECT_EQ(files.IsNamed(folder, journal, replacement), 0);
    EXPECT_EQ(files.Unlink(folder, journal), 0);
    EXPECT_EQ(files.IsNamed(folder, journal, replacement), -ENOENT);
    Handle again = JournalFiles::kNoHandle;
    ASSERT_EQ(files.CreateNew(folder, journal, again), 0);

    for (const Handle handle : {again, replacement, reader, folder}) {
        EXPECT_EQ(files.Close(handle), 0);
    }
    fs::remove_all(root);
}

// The real file system, except that one write fails.
struct OneFailingWrite : JournalFiles {
    std::ptrdiff_t Write(Handle file, const char* data, std::size_t size) override {
        return std::exchange(failNext, false) ? -EIO : JournalFiles::Write(file, data, size);
    }
    bool failNext = false;
};

TEST(Win32JournalFiles, RewriteOverTheOpenJournalWithTheTemporaryFolderOnAnotherDrive) {
    const fs::path root =
        fs::temp_directory_path() / ("vkx-journal-rewrite-" + std::to_string(std::random_device()()));
    ASSERT_TRUE(fs::create_directory(root));
    // Under Wine a tmpfs, on Windows no folder at all: nothing can move there from the state folder.
    wchar_t temporary[MAX_PATH + 1];
    const DWORD length = GetEnvironmentVariableW(L"TMP", temporary, MAX_PATH + 1);
    ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", L"Z:\\dev\\shm\\"));
    const std::string folder = (root / "vkx260").string();
    OneFailingWrite files;
    {
        Journal journal(folder, files);
        ASSERT_TRUE(journal.Append("001", "Start", "00:00:01:000"));
        // The failed write makes the whole list go to a new file, which replaces the open journal.
        files.failNext = true;
        EXPECT_TRUE(journal.Append("002", "Lap", "00:00:02:000"));
        EXPECT_TRUE(journal.Append("003", "Lap", "00:00:03:000"));
        EXPECT_TRUE(journal.Clear());
        EXPECT_TRUE(journal.Append("001", "Lap", "00:00:04:000"));
        files.failNext = true;
        EXPECT_TRUE(journal.Append("002", "Stop", "00:00:05:000"));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1) << "a replaced file was left behind";
    {
        const std::vector<UnsavedJournal> offered = FindUnsavedJournals(folder, files);
        ASSERT_EQ(offered.size(), 1u) << "the journal was lost";
        EXPECT_EQ(offered[0].Rows().size(), 2u);
    }
    SetEnvironmentVariableW(L"TMP", length == 0 ? nullptr : temporary);
    fs::remove_all(root);
}

}  // namespace
