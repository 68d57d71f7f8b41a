#pragma once

#include <memory>
#include <string>

// A text file written as a whole: the bytes go to a temporary file beside the target, which
// replaces the target only when Close has written everything. Until then, and whenever writing
// fails, an existing file stays as it was and the temporary file is removed. Other programs see
// either the old file or the complete new one, never a half-written one.
class CStdioFile {
public:
    CStdioFile();
    ~CStdioFile();
    CStdioFile(const CStdioFile&) = delete;
    CStdioFile& operator=(const CStdioFile&) = delete;

    // Prepares to create or replace the file; false when that cannot be done.
    bool Open(const std::string& path);
    // Writes the bytes exactly as given (line ends included). Throws CFileException on failure.
    void WriteString(const std::string& text);
    // Completes the file. Throws CFileException on failure, leaving an existing file untouched.
    void Close();

private:
    // The platform's file being written; each implementation of the framework defines it.
    struct File;
    std::unique_ptr<File> m_file;
    std::string m_path;
};
