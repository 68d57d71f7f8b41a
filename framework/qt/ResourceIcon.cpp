#include "framework/ResourceIcon.h"

#include <QCoreApplication>
#include <QIcon>
#include <map>

#include "framework/qt/QtHandles.h"
#include "res/Templates.h"

namespace {

std::map<int, QIcon>& LoadedIcons() {
    static std::map<int, QIcon> icons;
    return icons;
}

}  // namespace

HICON LoadIconResource(int id) {
    std::map<int, QIcon>& icons = LoadedIcons();
    if (const auto found = icons.find(id); found != icons.end()) {
        return ToIconHandle(&found->second);
    }
    QIcon icon;
    for (const char* path : res::IconPaths(id)) {
        icon.addFile(QString::fromLatin1(path));
    }
    if (icon.isNull()) {
        return nullptr;
    }
    if (icons.empty()) {
        // Icons hold pixmaps, which must go before the application does.
        qAddPostRoutine([] { LoadedIcons().clear(); });
    }
    return ToIconHandle(&icons.emplace(id, std::move(icon)).first->second);
}
