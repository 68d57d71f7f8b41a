#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "framework/WinTypes.h"

class CDialog;

struct FileDialogRequest {
    std::string title;
    std::string initialDir;
    std::string fileName;
    std::vector<std::pair<std::string, std::string>> filters;  // {name shown, pattern}
    int filterIndex = 1;                                       // 1 selects the first filter
    std::string defaultExt;
    UINT flags = 0;
};

// Whoever picks the file: the user through the real dialog, or a test. Returns the full path
// chosen, or nothing when the dialog was cancelled.
using FileChooser = std::function<std::optional<std::string>(const FileDialogRequest&)>;

// Installs a chooser and returns the one it replaces; an empty chooser restores the real dialog.
FileChooser SetFileChooser(FileChooser chooser);

// The Save As dialog (only saving is offered).
class CFileDialog {
public:
    // filter: "Name|pattern|Name|pattern|", as file dialogs take it.
    CFileDialog(const char* defaultExt, const char* fileName, UINT flags, const char* filter,
                CDialog* parent = nullptr);

    void SetInitialDir(const std::string& directory) { m_request.initialDir = directory; }
    void SetTitle(const std::string& title) { m_request.title = title; }

    // IDOK once a file is chosen, else IDCANCEL.
    int DoModal();
    // The chosen file's full path; a name without an extension has the default extension added.
    std::string GetPathName() const { return m_path; }
    // The chosen file's directory, without a trailing separator except for the root itself.
    std::string GetFolderPath() const;

private:
    FileDialogRequest m_request;
    CDialog* m_parent;
    std::string m_path;
};
