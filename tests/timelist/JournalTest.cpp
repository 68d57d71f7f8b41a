#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "timelist/CellText.h"
#include "timelist/CsvFormat.h"
#include "timelist/Journal.h"
#include "timelist/UnsavedJournal.h"

namespace {

namespace fs = std::filesystem;

// The real file system, except that opening a file fails while `failing` is set.
class SwitchedFiles : public JournalFiles {
public:
    int Open(const std::string& path, int flags, mode_t mode) override {
        return failing ? -EACCES : JournalFiles::Open(path, flags, mode);
    }
    bool failing = false;
};

std::string Contents(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// What a save of these rows writes.
std::string SavedBytes(const std::vector<UnsavedJournal::Row>& rows) {
    std::string bytes = CsvHeaderLine();
    for (const UnsavedJournal::Row& row : rows) {
        bytes += CsvRowLine(row.index, row.event, row.time);
    }
    return bytes;
}

std::vector<UnsavedJournal::Row> ListRows(int count) {
    std::vector<UnsavedJournal::Row> rows;
    for (int i = 0; i < count; ++i) {
        const TimeEvent event{static_cast<uint8_t>(i % 5), 1, 2, 3, i};
        rows.push_back({IndexText(i + 1), EventText(event.kind), TimeText(event)});
    }
    return rows;
}

class JournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/vkx-journal-test-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        root = name;
        folder = (root / "state/vkx260").string();
    }
    void TearDown() override { fs::remove_all(root); }

    std::unique_ptr<Journal> Fill(const std::vector<UnsavedJournal::Row>& rows) {
        auto journal = std::make_unique<Journal>(folder, files);
        for (const UnsavedJournal::Row& row : rows) {
            EXPECT_TRUE(journal->Append(row.index, row.event, row.time));
        }
        return journal;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder);
        const std::vector<UnsavedJournal::Row> rows = ListRows(c.rows);
        std::string path;
        {
            std::unique_ptr<Journal> journal = Fill(rows);
            if (c.beforeCrash) {
                c.beforeCrash(*journal);
            }
            path = journal->Path();
            EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
            std::ofstream(path, std::ios::binary | std::ios::app) << c.appended;
            EXPECT_TRUE(FindUnsavedJournals(folder).empty()) << "a running program's journal is offered";
        }
        EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
        std::ofstream(fs::path(folder) / "vkx260-journal-1-2-3.csv.txt") << "not a journal";
        std::vector<UnsavedJournal> offered = FindUnsavedJournals(folder);
        if (c.offered == 0) {
            EXPECT_TRUE(offered.empty());
            EXPECT_EQ(Names(), std::vector<std::string>{"vkx260-journal-1-2-3.csv.txt"});
            continue;
        }
        ASSERT_EQ(offered.size(), 1u);
        EXPECT_EQ(offered[0].Rows().size(), static_cast<std::size_t>(c.offered));
        if (c.rows == c.offered) {
            EXPECT_EQ(SavedBytes(offered[0].Rows()), SavedBytes(rows));
            EXPECT_EQ(Contents(path), SavedBytes(rows) + c.appended);
            EXPECT_EQ(offered[0].Rows().back().time, rows.back().time);
        }
        std::string kept;
        ASSERT_TRUE(offered[0].KeepAsPlainFile(kept));
        EXPECT_EQ(fs::path(kept).filename().string().size(),
                  std::string("vkx260-2026-12-07-143205.csv").size());
        EXPECT_TRUE(FindUnsavedJournals(folder).empty()) << "a kept file is offered again";
        EXPECT_EQ(Names().size(), 2u);
    }
}

TEST_F(JournalTest, FolderThatCannotBeWrittenFailsUntilItCanAndThenHoldsEveryRow) {
    const std::vector<UnsavedJournal::Row> rows = ListRows(3);
    Journal journal(folder, files);
    files.failing = true;
    EXPECT_FALSE(journal.Append(rows[0].index, rows[0].event, rows[0].time));
    EXPECT_FALSE(journal.Append(rows[1].index, rows[1].event, rows[1].time));
    files.failing = false;
    EXPECT_TRUE(journal.Append(rows[2].index, rows[2].event, rows[2].time));
    EXPECT_EQ(Contents(journal.Path()), SavedBytes(rows));
    journal.Remove();
    EXPECT_TRUE(Names().empty());
}

}  // namespace
