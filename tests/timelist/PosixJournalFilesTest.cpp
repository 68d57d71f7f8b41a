// The journal over a state folder that others may have tampered with, on the real file system.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

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
    HookedFiles files;
    struct Case {
        const char* name;
        std::function<bool(const fs::path& left, const Journal& writer)> prepare;  // false: skip
        bool appended;
        std::size_t offered;
        std::function<void(const fs::path& left)> check = [](const fs::path&) {};
    };
    const Case cases[] = {
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder);
        fs::path left;
        {
            Journal crashed(folder.string(), files);
            crashed.Append("001", "Start", "00:00:01:000");
            left = crashed.Path();
        }
        Journal writer(folder.string(), files);
        if (!c.prepare(left, writer)) {
            fs::remove_all(root);
            GTEST_SKIP() << "the case cannot be set up here";
        }
        EXPECT_EQ(writer.Append("001", "Lap", "00:00:02:000"), c.appended);
        writer.MarkSaved();
        EXPECT_EQ(FindUnsavedJournals(folder.string(), files).size(), c.offered);
        c.check(left);
        // Its lock goes with the close: a scan could take a journal that still has its name then.
        files.afterClose = [&] { EXPECT_FALSE(fs::exists(writer.Path())) << "closed before it was removed"; };
        writer.Remove();
        files.afterClose = [] {};
    }
    fs::remove_all(root);
}

}  // namespace
