#include "framework/ShellFolders.h"

#include <QDir>
#include <QStandardPaths>

std::string GetDocumentsFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty()) {
        folder = QDir::homePath();
    }
    return QDir::toNativeSeparators(folder).toStdString();
}
