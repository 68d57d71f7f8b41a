#include "timelist/UnsavedJournal.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <optional>
#include <tuple>
#include <utility>

#include "timelist/CsvFormat.h"
#include "timelist/Journal.h"

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr int kDatedNameTries = 100;

bool ReadAll(JournalFiles& files, int fd, std::string& bytes) {
    char buffer[65536];
    for (;;) {
        const ssize_t count = files.Read(fd, buffer, sizeof buffer);
        if (count < 0) {
            return false;
        }
        if (count == 0) {
            return true;
        }
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
}

bool ReadFile(JournalFiles& files, const std::string& path, std::string& bytes) {
    const int fd = files.Open(path, O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const bool read = ReadAll(files, fd, bytes);
    files.Close(fd);
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
// journal's. lastLine is the last complete line with its line end.
std::optional<std::vector<UnsavedJournal::Row>> ParseJournal(const std::string& bytes,
                                                             std::string& lastLine) {
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
        lastLine = bytes.substr(start, end + 2 - start);
        start = end + 2;
    }
}

// True when the journal's mark says that all its rows were saved: the same number, the same last line.
bool IsSaved(JournalFiles& files, const std::string& path, std::size_t rows, const std::string& lastLine) {
    std::string mark;
    if (!ReadFile(files, SavedMarkPath(path), mark)) {
        return false;
    }
    return mark == std::to_string(rows) + '\n' + lastLine;
}

struct Candidate {
    JournalName name;
    std::string path;
};

}  // namespace

UnsavedJournal::UnsavedJournal(JournalFiles& files, std::string path, int fd, std::vector<Row> rows)
    : m_files(files), m_path(std::move(path)), m_fd(fd), m_rows(std::move(rows)) {}

UnsavedJournal::~UnsavedJournal() { Release(); }

UnsavedJournal::UnsavedJournal(UnsavedJournal&& other) noexcept
    : m_files(other.m_files),
      m_path(std::move(other.m_path)),
      m_fd(std::exchange(other.m_fd, -1)),
      m_rows(std::move(other.m_rows)) {}

void UnsavedJournal::Drop() {
    m_files.Unlink(m_path);
    m_files.Unlink(SavedMarkPath(m_path));
    Release();
}

bool UnsavedJournal::KeepAsPlainFile(std::string& keptPath) {
    std::time_t modified = 0;
    std::tm local{};
    char stamp[32];
    if (m_fd < 0 || m_files.ModificationTime(m_fd, modified) != 0 ||
        ::localtime_r(&modified, &local) == nullptr ||
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d-%H%M%S", &local) == 0) {
        return false;
    }
    const std::string folder = m_path.substr(0, m_path.rfind('/') + 1);
    for (int attempt = 1; attempt <= kDatedNameTries; ++attempt) {
        // A second file of the same second gets "-2", and so on; an existing file is never replaced.
        const std::string candidate = folder + "vkx260-" + stamp +
                                      (attempt == 1 ? std::string() : '-' + std::to_string(attempt)) + ".csv";
        const int linked = m_files.Link(m_path, candidate);
        if (linked == -EEXIST) {
            continue;
        }
        if (linked != 0) {
            return false;
        }
        Drop();
        keptPath = candidate;
        return true;
    }
    return false;
}

void UnsavedJournal::Release() {
    if (m_fd >= 0) {
        m_files.Close(m_fd);
        m_fd = -1;
    }
}

std::vector<UnsavedJournal> FindUnsavedJournals(const std::string& folder, JournalFiles& files) {
    std::vector<UnsavedJournal> found;
    std::vector<std::string> names;
    if (folder.empty() || files.ListDirectory(folder, names) != 0) {
        return found;
    }
    std::vector<Candidate> candidates;
    for (const std::string& name : names) {
        JournalName parsed;
        if (ParseJournalName(name, parsed)) {
            candidates.push_back({parsed, folder + '/' + name});
        }
    }
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return std::tie(a.name.startMs, a.name.processId, a.name.number) <
               std::tie(b.name.startMs, b.name.processId, b.name.number);
    });
    for (const Candidate& candidate : candidates) {
        const int fd = files.Open(candidate.path, O_RDONLY | O_CLOEXEC, 0);
        if (fd < 0) {
            continue;
        }
        std::string bytes;
        std::string lastLine;
        std::optional<std::vector<UnsavedJournal::Row>> rows;
        // A lock that is held means that the journal's program still runs.
        if (files.Lock(fd) == 0 && ReadAll(files, fd, bytes)) {
            rows = ParseJournal(bytes, lastLine);
        }
        if (!rows) {
            files.Close(fd);
            continue;
        }
        UnsavedJournal journal(files, candidate.path, fd, std::move(*rows));
        if (journal.Rows().empty() || IsSaved(files, candidate.path, journal.Rows().size(), lastLine)) {
            journal.Drop();
            continue;
        }
        found.push_back(std::move(journal));
    }
    return found;
}
