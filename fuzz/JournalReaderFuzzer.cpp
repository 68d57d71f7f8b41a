// The start-up scan of journals left behind (FindUnsavedJournals) under libFuzzer, on real files in
// a folder of the run's own. An input is a mode byte and data:
//
//   byte 0   bit 0: 0 planted, 1 torn
//            bit 1: also a rewrite's new file beside the journal (planted: the data's second half)
//            bit 2: torn only: a mark that says that the complete rows were saved
//   planted  bytes 1-: the journal's bytes as they are, anything at all
//   torn     bytes 1-: rows of 5 bytes (kind, hours, minutes, seconds, milliseconds' low byte); the
//            last byte a count: the journal holds the rows' lines as a save writes them, then that
//            many bytes (modulo its length) of one more row's line, cut off by a power cut
//
// Planted: the scan must end, and it offers at most one journal, of no more rows than complete lines.
// Torn: the cut-off line costs that line alone: exactly the complete rows are offered, and none when
// there are none or the mark says that they were saved; the journal goes when nothing is offered.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "timelist/CellText.h"
#include "timelist/CsvFormat.h"
#include "timelist/Journal.h"
#include "timelist/UnsavedJournal.h"

namespace {

namespace fs = std::filesystem;
using Rows = std::vector<UnsavedJournal::Row>;

constexpr std::size_t kRowBytes = 5;
constexpr const char* kJournalName = "vkx260-journal-1700000000000-42-1.csv";

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "journal reader fault: %s\n", what);
        std::abort();
    }
}

// One folder for the whole run, emptied before every input.
const fs::path& Folder() {
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "vkx-fuzz-journal-XXXXXX").string();
        Check(::mkdtemp(pattern.data()) != nullptr, "no folder for the journals");
        std::atexit([] { fs::remove_all(Folder()); });
        return fs::path(pattern);
    }();
    return folder;
}

void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(Folder() / name, std::ios::binary) << bytes;
}

std::size_t CountLines(const std::string& bytes) {
    std::size_t lines = 0;
    for (std::size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at + 2)) {
        ++lines;
    }
    return lines;
}

Rows RowsOf(const uint8_t* data, std::size_t count) {
    Rows rows;
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t* field = data + i * kRowBytes;
        const TimeEvent event{field[0], field[1], field[2], field[3], field[4]};
        rows.push_back({IndexText(static_cast<int32_t>(i + 1)), EventText(event.kind), TimeText(event)});
    }
    return rows;
}

std::string LinesOf(const Rows& rows) {
    std::string lines;
    for (const UnsavedJournal::Row& row : rows) {
        lines += CsvRowLine(row.index, row.event, row.time);
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(Folder())) {
        fs::remove_all(entry.path());
    }
    const uint8_t mode = data[0];
    const bool torn = (mode & 1) != 0;
    const bool rewrite = (mode & 2) != 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);

    if (!torn) {
        const std::string journal = rewrite ? rest.substr(0, rest.size() / 2) : rest;
        WriteFile(kJournalName, journal);
        if (rewrite) {
            WriteFile(NewFileName(kJournalName), rest.substr(journal.size()));
        }
        const std::vector<UnsavedJournal> offered = FindUnsavedJournals(Folder().string());
        Check(offered.size() <= 1, "one journal offered more than once");
        if (!offered.empty()) {
            const std::size_t lines = std::max(CountLines(journal), CountLines(rest.substr(journal.size())));
            Check(offered[0].Rows().size() < lines, "more rows offered than complete lines");
        }
        return 0;
    }

    // The rows, then the count of bytes of one more row's line that the power cut left.
    const std::size_t rowCount = rest.empty() ? 0 : (rest.size() - 1) / kRowBytes;
    const Rows rows = RowsOf(data + 1, rowCount);
    std::string cut = CsvRowLine(IndexText(static_cast<int32_t>(rowCount + 1)), "Lap", "00:01:02:345");
    cut.resize(rest.empty() ? 0 : static_cast<uint8_t>(rest.back()) % cut.size());
    const std::string complete = CsvHeaderLine() + LinesOf(rows);
    WriteFile(kJournalName, complete + cut);
    if (rewrite) {
        // A rewrite cut short before it wrote all of the list.
        WriteFile(NewFileName(kJournalName), complete.substr(0, complete.size() / 2));
    }
    const bool saved = (mode & 4) != 0 && !rows.empty();
    if (saved) {
        WriteFile(SavedMarkName(kJournalName), std::to_string(rows.size()) + '\n' + LinesOf({rows.back()}));
    }
    {
        const std::vector<UnsavedJournal> offered = FindUnsavedJournals(Folder().string());
        if (rows.empty() || saved) {
            Check(offered.empty(), "a journal offered with nothing unsaved");
        } else {
            Check(offered.size() == 1, "the rows before a cut-off line are not offered");
            Check(offered[0].Rows() == rows, "the offered rows are not the complete rows");
        }
    }
    Check(fs::exists(Folder() / kJournalName) == (!rows.empty() && !saved),
          "a journal with nothing unsaved was left, or an unsaved one removed");
    return 0;
}
