#include "framework/ShellFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

std::string GetDocumentsFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // The system may name a documents folder that was never created.
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir::homePath();
    }
    return QDir::toNativeSeparators(folder).toStdString();
}
