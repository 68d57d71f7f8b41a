#include "timelist/UnsavedJournal.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <tuple>
#include <utility>

#include "timelist/CsvFormat.h"
#include "timelist/Journal.h"

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr int kDatedNameTries = 100;
// A journal is read up to this size: 100,000 rows take about 2.4 MB, so only a file that no list
// ever wrote is longer, and it is left alone.
constexpr std::size_t kMaxJournalBytes = std::size_t{64} << 20;

using Handle = JournalFiles::Handle;

bool ReadAll(JournalFiles& files, Handle file, std::string& bytes) {
    char buffer[65536];
    for (;;) {
        const std::ptrdiff_t count = files.Read(file, buffer, sizeof buffer);
        if (count < 0) {
            return false;
        }
        if (count == 0) {
            return true;
        }
        bytes.append(buffer, static_cast<std::size_t>(count));
        if (bytes.size() > kMaxJournalBytes) {
            return false;
        }
    }
}

bool ReadFile(JournalFiles& files, Handle folder, const std::string& name, std::string& bytes) {
    Handle file = JournalFiles::kNoHandle;
    if (files.OpenForReading(folder, name, file) != 0) {
        return false;
    }
    const bool read = ReadAll(files, file, bytes);
    files.Close(file);
    return read;
}

// The row of a line as a save writes it: the time's last '.' was the list's last ':'.
std::optional<UnsavedJournal::Row> ParseRow(const std::string& line) {
    const std::size_t first = line.find(',');
    const std::size_t second = first == std::string::npos ? first : line.find(',', first + 1);
    if (second == std::string::npos) {
        return std::nullopt;
    }
    UnsavedJournal::Row row{line.substr(0, first), line.substr(first + 1, second - first - 1),
                            line.substr(second + 1)};
    if (const std::size_t dot = row.time.rfind('.'); dot != std::string::npos) {
        row.time[dot] = ':';
    }
    return row;
}

// The rows of a journal's bytes, a cut-off last line left out; nothing when the bytes are not a
// journal's.
std::optional<std::vector<UnsavedJournal::Row>> ParseJournal(const std::string& bytes) {
    const std::string header = CsvHeaderLine();
    if (bytes.compare(0, header.size(), header) != 0) {
        return std::nullopt;
    }
    std::vector<UnsavedJournal::Row> rows;
    for (std::size_t start = header.size();;) {
        const std::size_t end = bytes.find(kLineEnd, start);
        if (end == std::string::npos) {
            return rows;
        }
        std::optional<UnsavedJournal::Row> row = ParseRow(bytes.substr(start, end - start));
        if (!row) {
            return std::nullopt;
        }
        rows.push_back(std::move(*row));
        start = end + 2;
    }
}

// How many of the rows the journal's mark says were saved: its number, when the journal's row of
// that number is the mark's line; none for a mark that does not match (lost in a power cut, or
// left from before a clearing).
std::size_t SavedRows(JournalFiles& files, Handle folder, const std::string& name,
                      const std::vector<UnsavedJournal::Row>& rows) {
    std::string mark;
    if (!ReadFile(files, folder, SavedMarkName(name), mark)) {
        return 0;
    }
    const std::size_t end = mark.find('\n');
    const std::string number = mark.substr(0, end);
    if (end == std::string::npos || number.empty() || number.size() > 9 ||
        number.find_first_not_of("0123456789") != std::string::npos) {
        return 0;
    }
    const std::size_t saved = std::stoul(number);
    if (saved == 0 || saved > rows.size()) {
        return 0;
    }
    const UnsavedJournal::Row& last = rows[saved - 1];
    return mark.compare(end + 1, std::string::npos, CsvRowLine(last.index, last.event, last.time)) == 0
               ? saved
               : 0;
}

// A journal's name, and which of the journal and the new file of a rewrite are in the folder.
struct Candidate {
    JournalName parsed;
    std::string name;
    bool journal = false;
    bool rewrite = false;
};

// The journal's name of a rewrite's new file; false for any other name.
bool RewriteOf(const std::string& name, std::string& journalName) {
    const std::string suffix = NewFileName("");
    if (name.size() <= suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return false;
    }
    journalName = name.substr(0, name.size() - suffix.size());
    return true;
}

// A journal file opened, locked and read.
struct Taken {
    Handle file = JournalFiles::kNoHandle;
    std::vector<UnsavedJournal::Row> rows;
};

enum class Outcome { Taken, Held, NotJournal };

Outcome Take(JournalFiles& files, Handle folder, const std::string& name, Taken& taken) {
    if (files.OpenForReading(folder, name, taken.file) != 0) {
        return Outcome::NotJournal;
    }
    // A lock that is held means that the journal's program still runs. A lock won on a file that
    // lost its name since it was opened is that of a file that the program replaced or removed:
    // its journal is the one under the name now.
    if (files.Lock(taken.file) != 0 || files.IsNamed(folder, name, taken.file) != 0) {
        files.Close(std::exchange(taken.file, JournalFiles::kNoHandle));
        return Outcome::Held;
    }
    std::string bytes;
    std::optional<std::vector<UnsavedJournal::Row>> rows;
    if (ReadAll(files, taken.file, bytes)) {
        rows = ParseJournal(bytes);
    }
    if (!rows) {
        files.Close(std::exchange(taken.file, JournalFiles::kNoHandle));
        return Outcome::NotJournal;
    }
    taken.rows = std::move(*rows);
    return Outcome::Taken;
}

// A rewrite that a crash cut short left its new file: it becomes the journal if it holds more rows
// (the journal missed some after a failed write); else it goes. False while its program still runs.
bool SettleRewrite(JournalFiles& files, Handle folder, const std::string& name, Taken& journal) {
    const std::string newName = NewFileName(name);
    Taken rewrite;
    const Outcome outcome = Take(files, folder, newName, rewrite);
    if (outcome == Outcome::Held) {
        return false;
    }
    const bool more = outcome == Outcome::Taken && rewrite.rows.size() > journal.rows.size();
    // An empty new file beside no journal may be one that a starting program has not locked yet.
    const bool leftover = outcome == Outcome::Taken || journal.file != JournalFiles::kNoHandle;
    if (more && files.Rename(folder, newName, name) == 0) {
        std::swap(journal, rewrite);
    } else if (!more && leftover) {
        files.Unlink(folder, newName);
    }
    if (rewrite.file != JournalFiles::kNoHandle) {
        files.Close(rewrite.file);
    }
    return true;
}

}  // namespace

UnsavedJournal::UnsavedJournal(JournalFiles& files, SharedFolder folder, std::string folderPath,
                               std::string name, Handle file, std::vector<Row> rows, std::size_t savedRows)
    : m_files(files),
      m_folder(std::move(folder)),
      m_folderPath(std::move(folderPath)),
      m_name(std::move(name)),
      m_file(file),
      m_rows(std::move(rows)),
      m_savedRows(savedRows) {}

UnsavedJournal::~UnsavedJournal() { Release(); }

UnsavedJournal::UnsavedJournal(UnsavedJournal&& other) noexcept
    : m_files(other.m_files),
      m_folder(std::move(other.m_folder)),
      m_folderPath(std::move(other.m_folderPath)),
      m_name(std::move(other.m_name)),
      m_file(std::exchange(other.m_file, JournalFiles::kNoHandle)),
      m_rows(std::move(other.m_rows)),
      m_savedRows(other.m_savedRows) {}

void UnsavedJournal::Drop() {
    m_files.Unlink(*m_folder, m_name);
    m_files.Unlink(*m_folder, SavedMarkName(m_name));
    m_files.Unlink(*m_folder, NewFileName(SavedMarkName(m_name)));
    Release();
}

bool UnsavedJournal::DatedFileName(int attempt, std::string& name) {
    std::string stamp;
    if (m_file == JournalFiles::kNoHandle || m_files.ModificationStamp(m_file, stamp) != 0) {
        return false;
    }
    name = "vkx260-" + stamp + (attempt == 1 ? std::string() : '-' + std::to_string(attempt)) + ".csv";
    return true;
}

bool UnsavedJournal::KeepAsPlainFile(std::string& keptPath) {
    std::string candidate;
    for (int attempt = 1; attempt <= kDatedNameTries && DatedFileName(attempt, candidate); ++attempt) {
        // An existing file is never replaced.
        const int linked = m_files.Link(*m_folder, m_name, candidate);
        if (linked == -EEXIST) {
            continue;
        }
        if (linked != 0) {
            return false;
        }
        keptPath = m_files.PathOf(m_folderPath, candidate);
        Drop();
        return true;
    }
    return false;
}

void UnsavedJournal::Release() {
    if (m_file != JournalFiles::kNoHandle) {
        m_files.Close(m_file);
        m_file = JournalFiles::kNoHandle;
    }
}

std::vector<UnsavedJournal> FindUnsavedJournals(const std::string& folderPath, JournalFiles& files) {
    std::vector<UnsavedJournal> found;
    Handle opened = JournalFiles::kNoHandle;
    if (files.OpenFolder(folderPath, false, opened) != 0) {
        return found;
    }
    const UnsavedJournal::SharedFolder folder(new Handle(opened), [&files](const Handle* handle) {
        files.Close(*handle);
        delete handle;
    });
    std::vector<std::string> names;
    if (files.List(*folder, names) != 0) {
        return found;
    }
    std::vector<Candidate> candidates;
    for (const std::string& name : names) {
        std::string journalName = name;
        const bool rewrite = RewriteOf(name, journalName);
        JournalName parsed;
        if (!ParseJournalName(journalName, parsed)) {
            continue;
        }
        auto same = std::find_if(candidates.begin(), candidates.end(),
                                 [&](const Candidate& c) { return c.name == journalName; });
        if (same == candidates.end()) {
            same = candidates.insert(candidates.end(), {parsed, journalName});
        }
        (rewrite ? same->rewrite : same->journal) = true;
    }
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return std::tie(a.parsed.startMs, a.parsed.processId, a.parsed.number) <
               std::tie(b.parsed.startMs, b.parsed.processId, b.parsed.number);
    });
    for (const Candidate& candidate : candidates) {
        Taken taken;
        if (candidate.journal && Take(files, *folder, candidate.name, taken) != Outcome::Taken) {
            continue;
        }
        if (candidate.rewrite && !SettleRewrite(files, *folder, candidate.name, taken)) {
            if (taken.file != JournalFiles::kNoHandle) {
                files.Close(taken.file);
            }
            continue;
        }
        if (taken.file == JournalFiles::kNoHandle) {
            continue;
        }
        const std::size_t saved = SavedRows(files, *folder, candidate.name, taken.rows);
        UnsavedJournal journal(files, folder, folderPath, candidate.name, taken.file, std::move(taken.rows),
                               saved);
        if (journal.Rows().size() == saved) {
            journal.Drop();
            continue;
        }
        found.push_back(std::move(journal));
    }
    return found;
}
