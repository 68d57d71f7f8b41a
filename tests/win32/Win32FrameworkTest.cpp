// The Win32 framework where a wrong byte or a wrong call would go unseen until a user looks: the
// dialog that the in-memory template builds, the list's text path, and the atomic save.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "framework/CFileException.h"
#include "framework/CStdioFile.h"
#include "framework/MessageBox.h"
#include "framework/win32/WindowsApi.h"
#include "link/Utf16.h"
#include "res/ResourceIds.h"
#include "res/Templates.h"

namespace {

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return name;
}

std::wstring ExpectedClass(res::ControlKind kind) {
    switch (kind) {
        case res::ControlKind::PushButton:
        case res::ControlKind::GroupBox:
            return L"Button";
        case res::ControlKind::ListView:
            return L"SysListView32";
        default:
            return L"Static";
    }
}

class MainWindow : public CDialog {
public:
    MainWindow() : CDialog(res::IDD_MAIN_DIALOG) {}
};

// Every control of the template, in its place, of its class, with its text, in the tab order.
TEST(Win32Dialog, BuiltAsTheTemplateSays) {
    MainWindow window;
    ASSERT_TRUE(window.Create());
    HWND dialog = window.GetSafeHwnd();
    const res::DialogTemplate& dialogTemplate = *res::FindDialogTemplate(res::IDD_MAIN_DIALOG);
    std::vector<HWND> tabStops;
    HWND child = GetWindow(dialog, GW_CHILD);
    for (const res::ControlTemplate& control : dialogTemplate.controls) {
        SCOPED_TRACE(control.id);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(ClassOf(child), ExpectedClass(control.kind));
        EXPECT_EQ(GetDlgCtrlID(child), control.id);
        // Position and size are converted each on its own, as the dialog manager does.
        RECT place{control.x, control.y, control.width, control.height};
        MapDialogRect(dialog, &place);
        RECT actual{};
        GetWindowRect(child, &actual);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
        // A control may have grown sideways for its text, never away from its place.
        EXPECT_LE(actual.left, place.left);
        EXPECT_EQ(actual.top, place.top);
        if (control.kind != res::ControlKind::StaticBitmap) {
            EXPECT_GE(actual.right, place.left + place.right);
            EXPECT_EQ(actual.bottom - actual.top, place.bottom);
        }
        if (control.kind == res::ControlKind::PushButton || control.kind == res::ControlKind::StaticText) {
            wchar_t text[128] = {};
            GetWindowTextW(child, text, static_cast<int>(std::size(text)));
            EXPECT_EQ(WideToUtf8(text), control.text);
        }
        if ((control.styles & res::style::kTabStop) && (control.styles & res::style::kVisible)) {
            tabStops.push_back(child);
        }
        child = GetWindow(child, GW_HWNDNEXT);
    }
    for (size_t i = 0; i + 1 < tabStops.size(); ++i) {
        EXPECT_EQ(GetNextDlgTabItem(dialog, tabStops[i], FALSE), tabStops[i + 1]) << "tab stop " << i;
    }
    // The menu bar takes no room from the controls.
    RECT wanted{0, 0, dialogTemplate.width, dialogTemplate.height};
    MapDialogRect(dialog, &wanted);
    RECT client{};
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, wanted.right);
    EXPECT_EQ(client.bottom, wanted.bottom);
    ASSERT_NE(window.GetMenu(), nullptr);
    EXPECT_EQ(window.GetMenu()->GetMenuState(res::ID_MENU_EXIT), static_cast<UINT>(MF_ENABLED));
    EXPECT_NE(window.GetSystemMenu(false), nullptr);
    // Serial ports plugged in are reported to the window.
    EXPECT_TRUE(window.WatchDeviceArrivals(-1));
    window.StopWatchingDeviceArrivals();
}

int PixelsPerInch(HWND window) {
    HDC dc = GetDC(window);
    const int pixelsPerInch = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(window, dc);
    return pixelsPerInch;
}

int TextWidth(HWND control, const wchar_t* text) {
    HDC dc = GetDC(control);
    const HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &extent);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return extent.cx;
}

// Every visible text shows whole in the control's own font, as Wine draws it: a static's text fills
// its client area; a push button's label sits inside its 2-pixel frame with a 1-pixel margin, a
// default button's 1 pixel further in; a group box's title starts 8 pixels in. No control overlaps
// another but the group box around it.
void ExpectTextsFit(HWND dialog) {
    std::vector<RECT> places;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        const bool button = ClassOf(child) == L"Button";
        const bool frame = button && (style & BS_TYPEMASK) == BS_GROUPBOX;
        const bool text = button || (ClassOf(child) == L"Static" && (style & SS_TYPEMASK) <= SS_CENTER);
        if ((style & WS_VISIBLE) == 0) {
            continue;
        }
        wchar_t caption[128] = {};
        GetWindowTextW(child, caption, static_cast<int>(std::size(caption)));
        RECT client{};
        GetClientRect(child, &client);
        const int margins = frame ? 16 : !button ? 0 : (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON ? 8 : 6;
        if (text) {
            EXPECT_LE(TextWidth(child, caption) + margins, client.right) << WideToUtf8(caption);
        }
        RECT place{};
        GetWindowRect(child, &place);
        for (const RECT& other : places) {
            RECT overlap{};
            EXPECT_TRUE(frame || !IntersectRect(&overlap, &place, &other)) << WideToUtf8(caption);
        }
        if (!frame) {
            places.push_back(place);
        }
    }
}

// Every text fits its control, as the template gives it and as the program changes it, at the
// screen's pixels per inch; ctest runs it again at 144 (VKX_EXPECTED_DPI).
TEST(Win32Dialog, TextsFitTheirControls) {
    if (const char* wanted = std::getenv("VKX_EXPECTED_DPI")) {
        ASSERT_EQ(PixelsPerInch(nullptr), std::atoi(wanted));
    }
    MainWindow window;
    ASSERT_TRUE(window.Create());
    ExpectTextsFit(window.GetSafeHwnd());
    CButton connect;
    connect.Attach(window.GetDlgItem(res::IDC_CONNECT));
    CStatic status;
    status.Attach(window.GetDlgItem(res::IDC_STATUS_TEXT));
    for (const auto& [caption, state] :
         {std::pair{"Verbindung trennen", "aktiv"}, std::pair{"Verbindung herstellen", "inaktiv"}}) {
        connect.SetWindowText(caption);
        status.SetWindowText(state);
        ExpectTextsFit(window.GetSafeHwnd());
    }
}

// The list view shows what the program holds, through LVN_GETDISPINFOW, in UTF-16. Once it scrolls,
// its columns still fit without a horizontal scroll bar: the last takes what the others leave, and
// the columns before it give up what their texts do not need, so the longest time shows whole. A
// text too long even for that is the row's tip.
TEST(Win32Dialog, ListShowsTheRowsAsText) {
    MainWindow window;
    ASSERT_TRUE(window.Create());
    CListCtrl list;
    list.Attach(window.GetDlgItem(res::IDC_TIME_LIST));
    ASSERT_EQ(list.InsertColumn(0, "Index", LVCFMT_LEFT, 60), 0);
    ASSERT_EQ(list.InsertColumn(1, "Event", LVCFMT_LEFT, 80), 1);
    ASSERT_EQ(list.InsertColumn(2, "Zeitpunkt", LVCFMT_LEFT, 96), 2);
    HWND view = window.GetDlgItem(res::IDC_TIME_LIST);
    const int pixelsPerInch = PixelsPerInch(view);
    const auto widths = [view] {
        return std::vector<int>{ListView_GetColumnWidth(view, 0), ListView_GetColumnWidth(view, 1),
                                ListView_GetColumnWidth(view, 2)};
    };
    const auto expectFilled = [view, &widths] {
        RECT client{};
        GetClientRect(view, &client);
        const std::vector<int> now = widths();
        EXPECT_EQ(now[0] + now[1] + now[2], client.right);
        EXPECT_FALSE(GetWindowLongW(view, GWL_STYLE) & WS_HSCROLL);
    };
    const std::vector<int> asked{MulDiv(60, pixelsPerInch, 96), MulDiv(80, pixelsPerInch, 96)};
    EXPECT_EQ(widths().front(), asked[0]);
    EXPECT_EQ(widths()[1], asked[1]);
    expectFilled();

    constexpr int kRows = 40;
    constexpr int kLongestRow = 30;
    constexpr int kTooLongRow = 20;
    const char* const tooLong = "Ein Zeitpunkt, länger als die ganze Liste breit ist";
    for (int row = 0; row < kRows; ++row) {
        ASSERT_EQ(list.InsertItem(row, std::to_string(row + 1).c_str()), row);
        ASSERT_TRUE(list.SetItemText(row, 1, "Größe"));
        ASSERT_TRUE(list.SetItemText(row, 2,
                                     row == kLongestRow   ? "255:255:255:65535"
                                     : row == kTooLongRow ? tooLong
                                                          : "12:00:00:000"));
    }
    EXPECT_EQ(ListView_GetItemCount(view), kRows);
    wchar_t text[64] = {};
    ListView_GetItemText(view, 2, 1, text, static_cast<int>(std::size(text)));
    EXPECT_EQ(WideToUtf8(text), "Größe");
    EXPECT_TRUE(GetWindowLongW(view, GWL_STYLE) & WS_VSCROLL);
    expectFilled();
    EXPECT_LE(ListView_GetStringWidth(view, L"255:255:255:65535") + 12, widths()[2]);
    EXPECT_LE(widths()[1], asked[1]);

    const auto tipOf = [&window, view](int row) {
        wchar_t tip[128] = {};
        NMLVGETINFOTIPW request{};
        request.hdr = {view, static_cast<UINT_PTR>(res::IDC_TIME_LIST), static_cast<UINT>(LVN_GETINFOTIPW)};
        request.pszText = tip;
        request.cchTextMax = static_cast<int>(std::size(tip));
        request.iItem = row;
        SendMessageW(window.GetSafeHwnd(), WM_NOTIFY, res::IDC_TIME_LIST, reinterpret_cast<LPARAM>(&request));
        return WideToUtf8(tip);
    };
    EXPECT_EQ(tipOf(kLongestRow), "");
    EXPECT_EQ(tipOf(kTooLongRow), tooLong);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = text;
    column.cchTextMax = static_cast<int>(std::size(text));
    ASSERT_TRUE(ListView_GetColumn(view, 2, &column));
    EXPECT_EQ(WideToUtf8(text), "Zeitpunkt");
    // An emptied list gives the columns their asked widths back.
    ASSERT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(ListView_GetItemCount(view), 0);
    EXPECT_EQ(widths().front(), asked[0]);
    EXPECT_EQ(widths()[1], asked[1]);
    expectFilled();
}

// A box that the program closes itself (the bridge is back) returns, as if Escape had been pressed.
constexpr char kLostText[] =
    "Die Verbindung zur VKX260 wurde unterbrochen.\n\nPrüfen Sie die USB-Verbindung.";

TEST(Win32MessageBox, ClosedByItsText) {
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        CloseMessageBox(kLostText);
    });
    ASSERT_NE(timer, 0u);
    EXPECT_NE(MessageBox(kLostText, "Verbindungsfehler", MB_ICONINFORMATION), 0);
}

std::string Contents(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

size_t FilesIn(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    size_t count = 0;
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
        count += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }
    FindClose(search);
    return count;
}

// The old file stays whole when it cannot be replaced, and no temporary file is left behind.
TEST(Win32StdioFile, ReplacesTheOldFileOnlyWhenComplete) {
    struct Case {
        const char* name;
        bool targetHeldOpen;
        const char* expected;
        bool throws;
    };
    const Case cases[] = {
        {"replaced", false, "new;\r\n", false},
        {"held by another program", true, "old;\r\n", true},
    };
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    const std::wstring folder = std::wstring(base) + L"vkx-stdiofile";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring target = folder + L"\\Liste.csv";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(target.c_str(), std::ios::binary) << "old;\r\n";
        HANDLE holder = c.targetHeldOpen ? CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                                         : INVALID_HANDLE_VALUE;
        bool threw = false;
        {
            CStdioFile file;
            ASSERT_TRUE(file.Open(WideToUtf8(target)));
            try {
                file.WriteString("new;\r\n");
                file.Close();
            } catch (const CFileException& error) {
                threw = true;
                EXPECT_EQ(error.FileName(), WideToUtf8(target));
            }
        }
        if (holder != INVALID_HANDLE_VALUE) {
            CloseHandle(holder);
        }
        EXPECT_EQ(threw, c.throws);
        EXPECT_EQ(Contents(target), c.expected);
        EXPECT_EQ(FilesIn(folder), 1u);
        DeleteFileW(target.c_str());
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace
