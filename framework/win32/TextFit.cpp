#include "framework/win32/TextFit.h"

#include <string>
#include <vector>

#include "framework/TextRoom.h"
#include "framework/win32/WindowsApi.h"

namespace {

enum class TextKind { None, LeftText, CentredText, PushButton, GroupBox };

TextKind KindOf(HWND control) {
    wchar_t name[16] = {};
    GetClassNameW(control, name, static_cast<int>(std::size(name)));
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    if (lstrcmpiW(name, L"Static") == 0) {
        switch (style & SS_TYPEMASK) {
            case SS_LEFT:
            case SS_LEFTNOWORDWRAP:
                return TextKind::LeftText;
            case SS_CENTER:
                return TextKind::CentredText;
            default:
                return TextKind::None;
        }
    }
    if (lstrcmpiW(name, L"Button") == 0) {
        switch (style & BS_TYPEMASK) {
            case BS_PUSHBUTTON:
            case BS_DEFPUSHBUTTON:
                return TextKind::PushButton;
            case BS_GROUPBOX:
                return TextKind::GroupBox;
            default:
                return TextKind::None;
        }
    }
    return TextKind::None;
}

// The text's width in the control's font, and the screen's pixels per inch.
struct TextMeasure {
    int width = 0;
    int pixelsPerInch = 96;
};

TextMeasure Measure(HWND control) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    TextMeasure measure;
    HDC dc = GetDC(control);
    if (!dc) {
        return measure;
    }
    const HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE extent{};
    if (GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent)) {
        measure.width = extent.cx;
    }
    measure.pixelsPerInch = GetDeviceCaps(dc, LOGPIXELSX);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return measure;
}

// The pixels the text takes with the control's own margins around it.
int NeededWidth(TextKind kind, const TextMeasure& measure) {
    switch (kind) {
        case TextKind::PushButton:
            // On each side: the button's edge, the label's inset from it and the focus rectangle's.
            return measure.width + 4 * GetSystemMetrics(SM_CXEDGE);
        case TextKind::GroupBox:
            // The title starts about 8 pixels (at 96 dpi) into the frame; as much is kept at its end.
            return measure.width + 2 * MulDiv(8, measure.pixelsPerInch, 96);
        default:
            return measure.width;
    }
}

RECT PlaceIn(HWND parent, HWND child) {
    RECT place{};
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

}  // namespace

void FitTextToControl(HWND control) {
    const TextKind kind = control ? KindOf(control) : TextKind::None;
    HWND parent = control ? GetParent(control) : nullptr;
    if (kind == TextKind::None || !parent) {
        return;
    }
    const RECT place = PlaceIn(parent, control);
    std::vector<ControlBox> others;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (child != control && (GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE)) {
            const RECT other = PlaceIn(parent, child);
            others.push_back(
                {other.left, other.top, other.right, other.bottom, KindOf(child) == TextKind::GroupBox});
        }
    }
    RECT client{};
    GetClientRect(parent, &client);
    // Two dialog units from a neighbour or the edge, as close as the templates place controls.
    RECT gap{0, 0, 2, 0};
    MapDialogRect(parent, &gap);
    const Span room = RoomBeside({place.left, place.top, place.right, place.bottom, false}, others,
                                 client.right, gap.right);
    const Span span = WidenToFit({place.left, place.right}, NeededWidth(kind, Measure(control)), room,
                                 kind != TextKind::LeftText && kind != TextKind::GroupBox);
    if (span.left != place.left || span.right != place.right) {
        SetWindowPos(control, nullptr, span.left, place.top, span.right - span.left, place.bottom - place.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}
