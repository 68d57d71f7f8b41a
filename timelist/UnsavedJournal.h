#pragma once

#include <memory>
#include <string>
#include <vector>

#include "timelist/JournalFiles.h"

// A journal that its program left behind without a normal end, holding rows that were not saved.
// It holds the journal's lock until it goes, so that two programs starting at once never offer the
// same journal twice.
class UnsavedJournal {
public:
    // One row's cells as the list showed them.
    struct Row {
        std::string index;
        std::string event;
        std::string time;
        bool operator==(const Row&) const = default;
    };

    // The folder that it was found in, open while any journal found there is.
    using SharedFolder = std::shared_ptr<const JournalFiles::Handle>;

    UnsavedJournal(JournalFiles& files, SharedFolder folder, std::string folderPath, std::string name,
                   JournalFiles::Handle file, std::vector<Row> rows, std::size_t savedRows = 0);
    ~UnsavedJournal();
    UnsavedJournal(UnsavedJournal&& other) noexcept;
    UnsavedJournal& operator=(UnsavedJournal&&) = delete;

    std::string Path() const { return m_files.PathOf(m_folderPath, m_name); }
    const std::vector<Row>& Rows() const { return m_rows; }
    // How many rows, from the first, a save had written before the program ended; the rest were
    // never saved.
    std::size_t SavedRows() const { return m_savedRows; }

    // The rows are in this run's list and journal now: the file and its mark go.
    void Drop();
    // The name for the rows kept as a plain time-list file: the time of the last row, such as
    // "vkx260-2026-12-07-143205.csv"; attempt 2 and on add "-2" and so on, for a name that is taken.
    // False when the time cannot be read.
    bool DatedFileName(int attempt, std::string& name);
    // Keeps the file in its folder as a plain time-list file under its dated name; it is never
    // offered again. False when it could not be renamed: then it stays a journal.
    bool KeepAsPlainFile(std::string& keptPath);

private:
    void Release();

    JournalFiles& m_files;
    SharedFolder m_folder;
    std::string m_folderPath;
    std::string m_name;
    JournalFiles::Handle m_file;
    std::vector<Row> m_rows;
    std::size_t m_savedRows = 0;
};

// The journals in the folder whose program is gone (their lock is free) and that hold rows not
// saved, oldest first. A cut-off last line is dropped. Files that are not journals are left alone;
// a journal of a program that is gone and that holds nothing unsaved is removed. A folder that
// cannot be read gives none.
std::vector<UnsavedJournal> FindUnsavedJournals(const std::string& folder,
                                                JournalFiles& files = JournalFiles::System());
