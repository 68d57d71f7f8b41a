#include "framework/NewTextFile.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

NewTextFileResult WriteNewTextFile(const std::string& folder, const std::string& name,
                                   const std::string& bytes, std::string& path) {
    const QString target = QDir(QString::fromStdString(folder)).filePath(QString::fromStdString(name));
    path = QDir::toNativeSeparators(target).toStdString();
    if (QFileInfo::exists(target)) {
        return NewTextFileResult::NameTaken;
    }
    QTemporaryFile file(target + QStringLiteral(".XXXXXX"));
    if (!file.open() ||
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
        !file.flush() || ::fsync(file.handle()) != 0) {
        return NewTextFileResult::Failed;
    }
    // Qt's rename never replaces a file: it links the new name, or renames with RENAME_NOREPLACE.
    if (!file.rename(target)) {
        return QFileInfo::exists(target) ? NewTextFileResult::NameTaken : NewTextFileResult::Failed;
    }
    file.setAutoRemove(false);
    return NewTextFileResult::Written;
}
