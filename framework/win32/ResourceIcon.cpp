#include "framework/ResourceIcon.h"

#include <map>

#include "framework/win32/SmallIcon.h"
#include "framework/win32/WindowsApi.h"

namespace {

// Each loaded icon's small size. Both are shared resource icons, which the system keeps for the
// program's life.
std::map<HICON, HICON>& SmallIcons() {
    static std::map<HICON, HICON> icons;
    return icons;
}

HICON LoadSized(int id, int widthMetric, int heightMetric) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON,
                                         GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric),
                                         LR_SHARED));
}

}  // namespace

HICON LoadIconResource(int id) {
    HICON icon = LoadSized(id, SM_CXICON, SM_CYICON);
    if (icon) {
        HICON smallIcon = LoadSized(id, SM_CXSMICON, SM_CYSMICON);
        SmallIcons()[icon] = smallIcon ? smallIcon : icon;
    }
    return icon;
}

HICON SmallIconOf(HICON icon) {
    const auto found = SmallIcons().find(icon);
    return found == SmallIcons().end() ? icon : found->second;
}
