#include "framework/CStdioFile.h"

#include <QSaveFile>

#include "framework/CFileException.h"

struct CStdioFile::File : QSaveFile {
    using QSaveFile::QSaveFile;
};

CStdioFile::CStdioFile() = default;

// Without Close the new file is discarded; the target is untouched.
CStdioFile::~CStdioFile() = default;

bool CStdioFile::Open(const std::string& path) {
    m_path = path;
    m_file = std::make_unique<File>(QString::fromStdString(path));
    if (!m_file->open(QIODevice::WriteOnly)) {
        m_file.reset();
        return false;
    }
    return true;
}

void CStdioFile::WriteString(const std::string& text) {
    if (!m_file ||
        m_file->write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
        throw CFileException(m_path);
    }
}

void CStdioFile::Close() {
    const bool committed = m_file && m_file->commit();
    m_file.reset();
    if (!committed) {
        throw CFileException(m_path);
    }
}
