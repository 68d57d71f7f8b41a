#pragma once

#include <string>

// A failure while writing or closing a text file. The only failure reported by exception: its
// catcher shows it with ReportError.
class CFileException {
public:
    explicit CFileException(std::string fileName) : m_fileName(std::move(fileName)) {}

    const std::string& FileName() const { return m_fileName; }
    // The stop-icon box "Disk full while accessing <path>." under the application's name.
    void ReportError() const;

private:
    std::string m_fileName;
};
