#include "framework/RealFileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QStringList>
#include <utility>

#include "framework/CDialog.h"
#include "framework/qt/QtHandles.h"

namespace {

// A name without an extension gets the default one; a name ending in a dot has only the extension
// added after it.
QString WithDefaultExtension(const QString& path, const std::string& defaultExt) {
    if (defaultExt.empty() || !QFileInfo(path).suffix().isEmpty()) {
        return path;
    }
    return path + (path.endsWith('.') ? QString() : QStringLiteral(".")) + QString::fromStdString(defaultExt);
}

// A folder that is gone (a pulled USB stick) opens its nearest ancestor that still exists: Qt
// would open some other folder and type the missing one's name into the name field.
QString NearestExistingFolder(const std::string& folder) {
    if (folder.empty()) {
        return {};
    }
    QFileInfo info(QString::fromStdString(folder));
    while (!info.isDir() && !info.isRoot()) {
        info.setFile(info.absolutePath());
    }
    return info.absoluteFilePath();
}

// Qt adds the default extension only to names without any dot. This dialog puts the final name
// into the name field before Qt's own overwrite question, so the question covers the file that is
// finally written.
class SaveFileDialog : public QFileDialog {
public:
    SaveFileDialog() {
        // Qt's own widget dialog, whose name filters, default extension and overwrite question behave
        // the same on every desktop.
        setOption(QFileDialog::DontUseNativeDialog);
        setAcceptMode(QFileDialog::AcceptSave);
        setFileMode(QFileDialog::AnyFile);
    }

    void SetDefaultExtension(std::string defaultExt) {
        m_defaultExt = std::move(defaultExt);
        setDefaultSuffix(QString::fromStdString(m_defaultExt));
    }

    void accept() override {
        if (auto* nameEdit = NameEdit()) {
            const QString typed = nameEdit->text();
            if (!QFileInfo(directory().filePath(typed)).isDir()) {
                nameEdit->setText(WithDefaultExtension(typed, m_defaultExt));
            }
        }
        QFileDialog::accept();
    }

    QLineEdit* NameEdit() const { return findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }

private:
    std::string m_defaultExt;
};

// Qt's file dialog writes its history, folder and view into the user's QtProject.conf when it is
// destroyed, and no option turns that off. The program stores nothing: its one Save As dialog is
// never destroyed, and each Save As sets it up afresh.
SaveFileDialog& TheSaveDialog() {
    static auto* dialog = new SaveFileDialog;
    return *dialog;
}

}  // namespace

std::optional<std::string> ShowRealFileDialog(const FileDialogRequest& request, CDialog* parent) {
    SaveFileDialog& dialog = TheSaveDialog();
    dialog.setWindowTitle(QString::fromStdString(request.title));
    if (const QString folder = NearestExistingFolder(request.initialDir); !folder.isEmpty()) {
        dialog.setDirectory(folder);
    }
    // The filter names already say what they show; Qt would repeat the patterns after them.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, (request.flags & OFN_OVERWRITEPROMPT) == 0);
    dialog.SetDefaultExtension(request.defaultExt);
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
    // Nothing typed in an earlier Save As stays in the name field.
    if (QLineEdit* nameEdit = dialog.NameEdit()) {
        nameEdit->clear();
    }
    dialog.selectFile(QString::fromStdString(request.fileName));
    // Shown over the program's window and given back afterwards: a child would die with its parent.
    dialog.setParent(parent ? ToWidget(parent->GetSafeHwnd()) : nullptr, dialog.windowFlags());
    const int result = dialog.exec();
    dialog.setParent(nullptr, dialog.windowFlags());
    if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return QDir::toNativeSeparators(dialog.selectedFiles().first()).toStdString();
}

std::string FullPathWithExtension(const std::string& chosen, const std::string& defaultExt) {
    const QString path = QFileInfo(QString::fromStdString(chosen)).absoluteFilePath();
    return QDir::toNativeSeparators(WithDefaultExtension(path, defaultExt)).toStdString();
}

std::string CFileDialog::GetFolderPath() const {
    const auto separator = m_path.rfind(QDir::separator().toLatin1());
    if (separator == std::string::npos) {
        return {};
    }
    // A file in the root directory: the root itself.
    return separator == 0 ? m_path.substr(0, 1) : m_path.substr(0, separator);
}
