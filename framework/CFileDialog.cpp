#include "framework/CFileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace {

FileChooser& InstalledChooser() {
    static FileChooser chooser;
    return chooser;
}

std::vector<std::pair<std::string, std::string>> ParseFilter(const char* filter) {
    std::vector<std::pair<std::string, std::string>> filters;
    const QStringList parts = QString::fromUtf8(filter ? filter : "").split('|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (!parts[i].isEmpty()) {
            filters.emplace_back(parts[i].toStdString(), parts[i + 1].toStdString());
        }
    }
    return filters;
}

std::optional<std::string> ShowRealDialog(const FileDialogRequest& request, QWidget* parent) {
    QFileDialog dialog(parent, QString::fromStdString(request.title),
                       QString::fromStdString(request.initialDir));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExt));
    if ((request.flags & OFN_OVERWRITEPROMPT) == 0) {
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    }
    QStringList nameFilters;
    for (const auto& [name, pattern] : request.filters) {
        // "*.*" means every file, also one without a dot.
        const QString qtPattern = pattern == "*.*" ? QStringLiteral("*") : QString::fromStdString(pattern);
        nameFilters << QStringLiteral("%1 (%2)").arg(QString::fromStdString(name), qtPattern);
    }
    dialog.setNameFilters(nameFilters);
    if (request.filterIndex >= 1 && request.filterIndex <= nameFilters.size()) {
        dialog.selectNameFilter(nameFilters[request.filterIndex - 1]);
    }
    dialog.selectFile(QString::fromStdString(request.fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return QDir::toNativeSeparators(dialog.selectedFiles().first()).toStdString();
}

}  // namespace

FileChooser SetFileChooser(FileChooser chooser) {
    FileChooser previous = std::move(InstalledChooser());
    InstalledChooser() = std::move(chooser);
    return previous;
}

CFileDialog::CFileDialog(const char* defaultExt, const char* fileName, UINT flags, const char* filter,
                         QWidget* parent)
    : m_parent(parent) {
    m_request.defaultExt = defaultExt ? defaultExt : "";
    m_request.fileName = fileName ? fileName : "";
    m_request.flags = flags;
    m_request.filters = ParseFilter(filter);
}

int CFileDialog::DoModal() {
    const FileChooser& chooser = InstalledChooser();
    const std::optional<std::string> chosen =
        chooser ? chooser(m_request) : ShowRealDialog(m_request, m_parent);
    if (!chosen || chosen->empty()) {
        return IDCANCEL;
    }
    QString path = QDir::toNativeSeparators(QFileInfo(QString::fromStdString(*chosen)).absoluteFilePath());
    if (!m_request.defaultExt.empty() && QFileInfo(path).suffix().isEmpty()) {
        path += '.' + QString::fromStdString(m_request.defaultExt);
    }
    m_path = path.toStdString();
    return IDOK;
}

std::string CFileDialog::GetFolderPath() const {
    const auto separator = m_path.rfind(QDir::separator().toLatin1());
    if (separator == std::string::npos) {
        return {};
    }
    // A file in the root directory: the root itself.
    return separator == 0 ? m_path.substr(0, 1) : m_path.substr(0, separator);
}
