// The journal over a state folder that others may have tampered with, on the real file system.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "timelist/Journal.h"
#include "timelist/UnsavedJournal.h"

namespace {

namespace fs = std::filesystem;

// The real file system, with a step run once after the next file opened for reading, or after the
// next close.
struct HookedFiles : JournalFiles {
    int OpenForReading(Handle folder, const std::string& name, Handle& file) override {
        const int result = JournalFiles::OpenForReading(folder, name, file);
        std::exchange(afterOpen, [] {})();
        return result;
    }
    int Close(Handle handle) override {
        const int result = JournalFiles::Close(handle);
        std::exchange(afterClose, [] {})();
        return result;
    }
    std::function<void()> afterOpen = [] {};
    std::function<void()> afterClose = [] {};
};

TEST(PosixJournalFiles, UntrustedFolderAndFiles) {
    char name[] = "/tmp/vkx-journal-files-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    const fs::path root = name;
    const fs::path folder = root / "vkx260";
    const fs::path outside = root / "precious.csv";
    HookedFiles files;
    struct Case {
        const char* name;
        std::function<bool(const fs::path& left, const Journal& writer)> prepare;  // false: skip
        bool appended;
        std::size_t offered;
        std::function<void(const fs::path& left)> check = [](const fs::path&) {};
    };
    const Case cases[] = {
        {"a FIFO and a link to an endless device under journals' names",
         [&](const fs::path&, const Journal&) {
             fs::create_symlink("/dev/zero", folder / "vkx260-journal-1-1-1.csv");
             return ::mkfifo((folder / "vkx260-journal-1-1-2.csv").c_str(), 0600) == 0;
         },
         true, 1},
        {"a journal longer than any list",
         [](const fs::path& left, const Journal&) {
             return fs::resize_file(left, std::uintmax_t{1} << 30), true;
         },
         true, 0, [](const fs::path& left) { EXPECT_TRUE(fs::exists(left)) << "a stranger was removed"; }},
        {"links at the names of the new files",
         [&](const fs::path&, const Journal& writer) {
             std::ofstream(outside) << "precious";
             const fs::path journal = writer.Path();
             fs::create_symlink(outside, NewFileName(journal.string()));
             fs::create_symlink(outside, NewFileName((folder / SavedMarkName(journal.filename())).string()));
             return true;
         },
         true, 1, [&](const fs::path&) { EXPECT_EQ(fs::file_size(outside), 8u); }},
        {"replaced by its program after the scan opened it",
         [&](const fs::path& left, const Journal&) {
             files.afterOpen = [&, left] {
                 fs::copy_file(left, root / "new"), fs::rename(root / "new", left);
             };
             return true;
         },
         true, 0,
         [](const fs::path& left) {
             EXPECT_TRUE(fs::exists(left)) << "a running program's journal was moved";
         }},
        {"the user's own folder open to others",
         [&](const fs::path&, const Journal&) { return fs::permissions(folder, fs::perms::all), true; }, true,
         1, [&](const fs::path&) { EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all); }},
        {"someone else's folder open to all",
         [&](const fs::path&, const Journal&) {
             fs::permissions(folder, fs::perms::all);
             return ::chown(folder.c_str(), 65534, 65534) == 0 && ::geteuid() != 65534;
         },
         false, 0, [&](const fs::path&) { EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        files.afterClose = [] {};
        fs::remove_all(folder);
        fs::path left;
        {
            Journal crashed(folder.string(), files);
            crashed.Append("001", "Start", "00:00:01:000");
            left = crashed.Path();
        }
        EXPECT_EQ(fs::status(left).permissions(), fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
        Journal writer(folder.string(), files);
        if (!c.prepare(left, writer)) {
            fs::remove_all(root);
            GTEST_SKIP() << "the folder cannot be given to another user here";
        }
        EXPECT_EQ(writer.Append("001", "Lap", "00:00:02:000"), c.appended);
        writer.MarkSaved();
        EXPECT_EQ(FindUnsavedJournals(folder.string(), files).size(), c.offered);
        c.check(left);
        // Its lock goes with the close: a scan could take a journal that still has its name then.
        files.afterClose = [path = writer.Path()] {
            EXPECT_FALSE(fs::exists(path)) << "closed before it was removed";
        };
        writer.Remove();
    }
    fs::remove_all(root);
}

}  // namespace
