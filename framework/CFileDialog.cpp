#include "framework/CFileDialog.h"

#include <utility>

#include "framework/RealFileDialog.h"

namespace {

FileChooser& InstalledChooser() {
    static FileChooser chooser;
    return chooser;
}

// "Name|pattern|Name|pattern|" as {name, pattern} pairs; a pair without a name is left out.
std::vector<std::pair<std::string, std::string>> ParseFilter(const char* filter) {
    std::vector<std::pair<std::string, std::string>> filters;
    std::vector<std::string> parts;
    std::string part;
    for (const char* c = filter ? filter : ""; *c != '\0'; ++c) {
        if (*c == '|') {
            parts.push_back(std::move(part));
            part.clear();
        } else {
            part += *c;
        }
    }
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (!parts[i].empty()) {
            filters.emplace_back(parts[i], parts[i + 1]);
        }
    }
    return filters;
}

}  // namespace

FileChooser SetFileChooser(FileChooser chooser) {
    FileChooser previous = std::move(InstalledChooser());
    InstalledChooser() = std::move(chooser);
    return previous;
}

CFileDialog::CFileDialog(const char* defaultExt, const char* fileName, UINT flags, const char* filter,
                         CDialog* parent)
    : m_parent(parent) {
    m_request.defaultExt = defaultExt ? defaultExt : "";
    m_request.fileName = fileName ? fileName : "";
    m_request.flags = flags;
    m_request.filters = ParseFilter(filter);
}

int CFileDialog::DoModal() {
    // The system's dialog gives the name that its overwrite question covered, which is final. A
    // test's chooser gives a name as typed, which gets what the system's dialog would make of it.
    std::optional<std::string> chosen;
    if (const FileChooser& chooser = InstalledChooser()) {
        chosen = chooser(m_request);
        if (chosen && !chosen->empty()) {
            chosen = FullPathWithExtension(*chosen, m_request.defaultExt);
        }
    } else {
        chosen = ShowRealFileDialog(m_request, m_parent);
    }
    if (!chosen || chosen->empty()) {
        return IDCANCEL;
    }
    m_path = *chosen;
    return IDOK;
}
