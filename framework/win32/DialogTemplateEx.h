#pragma once

#include <cstdint>
#include <vector>

namespace res {
struct DialogTemplate;
}

// Lays out one of our dialog templates as the extended dialog template (DLGTEMPLATEEX) that
// CreateDialogIndirectParamW and DialogBoxIndirectParamW read: header, font, then one DWORD-aligned
// item per control in template order, which is also the tab order. The menu is left out; the
// window adds its own. Held in DWORDs, since the dialog manager wants the whole template aligned so.
std::vector<uint32_t> BuildDialogTemplateEx(const res::DialogTemplate& dialogTemplate);
