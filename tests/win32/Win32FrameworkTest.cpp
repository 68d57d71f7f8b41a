// The Win32 framework where a wrong byte or a wrong call would go unseen until a user looks: the
// dialog that the in-memory template builds, the list's text path, the owner of its boxes and
// dialogs, the file that Save As confirmed, the atomic save, and the new file that never replaces one.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "framework/CFileDialog.h"
#include "framework/CFileException.h"
#include "framework/CStdioFile.h"
#include "framework/MessageBox.h"
#include "framework/NewTextFile.h"
#include "framework/win32/WindowsApi.h"
#include "link/Utf16.h"
#include "res/ResourceIds.h"
#include "res/Templates.h"

// The Save As dialog's control IDs (edt1, cmb13), after windows.h.
#include <dlgs.h>

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

// What a test does with the windows that a modal call opens: a thread timer, which that call's own
// loop runs, hands each tick to it.
std::function<void()> g_onTick;

class TickWhileModal {
public:
    explicit TickWhileModal(std::function<void()> onTick) {
        g_onTick = std::move(onTick);
        m_timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) { g_onTick(); });
    }
    ~TickWhileModal() {
        KillTimer(nullptr, m_timer);
        g_onTick = nullptr;
    }
    TickWhileModal(const TickWhileModal&) = delete;
    TickWhileModal& operator=(const TickWhileModal&) = delete;

private:
    UINT_PTR m_timer = 0;
};

// The visible dialog-class windows of this thread (boxes, dialogs, the Save As dialog).
std::vector<HWND> ShownDialogs() {
    std::vector<HWND> found;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM list) {
            if (IsWindowVisible(window) && ClassOf(window) == L"#32770") {
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

void Click(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Runs the messages of this thread until done() or five seconds have passed.
bool PumpUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return done();
}

// While another program's window is in front, the program's boxes and dialogs are still owned by
// its window, which stays disabled until they end.
TEST(Win32Owner, BoxesAndDialogsBelongToTheProgramsWindowWhileAnotherIsInFront) {
    MainWindow window;
    ASSERT_TRUE(window.Create());
    HWND main = window.GetSafeHwnd();
    ShowWindow(main, SW_SHOW);
    ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == main; }));
    // Another program: a window of a thread of its own, with its own input state.
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread other([done] {
        HWND front = CreateWindowExW(0, L"STATIC", L"Anderes Programm", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                     0, 200, 100, nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(front);
        while (MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
            for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
                DispatchMessageW(&message);
            }
        }
        DestroyWindow(front);
    });
    EXPECT_TRUE(PumpUntil([] { return GetActiveWindow() == nullptr; })) << "the other window is not in front";

    HWND owner = nullptr;
    bool mainEnabled = true;
    const auto closeWhatOpened = [&](const std::function<void(HWND)>& close) {
        for (HWND shown : ShownDialogs()) {
            if (shown != main) {
                owner = GetWindow(shown, GW_OWNER);
                mainEnabled = IsWindowEnabled(main);
                close(shown);
            }
        }
    };
    {
        TickWhileModal tick([&] { closeWhatOpened([](HWND) { CloseMessageBox(kLostText); }); });
        MessageBox(kLostText, "Verbindungsfehler", MB_ICONINFORMATION);
    }
    EXPECT_EQ(owner, main) << "message box";
    EXPECT_FALSE(mainEnabled) << "message box";

    owner = nullptr;
    mainEnabled = true;
    CDialog about(res::IDD_ABOUTBOX);
    {
        TickWhileModal tick([&] { closeWhatOpened([](HWND shown) { Click(shown, IDCANCEL); }); });
        about.DoModal();
    }
    EXPECT_EQ(owner, main) << "dialog";
    EXPECT_FALSE(mainEnabled) << "dialog";
    EXPECT_TRUE(IsWindowEnabled(main));

    SetEvent(done);
    other.join();
    CloseHandle(done);
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

// The file written is the one that the Save As dialog asked about: the dialog adds the default
// extension before its overwrite question, and a name ending in a dot means no extension to it. A
// name that is no valid UTF-16 (NTFS allows an unpaired surrogate) is refused, never changed.
TEST(Win32FileDialog, ChosenFileIsTheOneTheDialogConfirmed) {
    struct Case {
        const char* name;
        std::wstring typed;
        bool asked;
        int result;
        std::wstring written;  // empty: no file can be opened under the name
    };
    const Case cases[] = {
        {"a name ending in a dot", L"liste.", false, IDOK, L"liste"},
        {"a name given the default extension", L"liste", true, IDCANCEL, L""},
        {"a name with an unpaired surrogate", L"liste\xD800.csv", false, IDOK, L""},
    };
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    const std::wstring folder = std::wstring(base) + L"vkx-savedialog";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::ofstream((folder + L"\\liste.csv").c_str(), std::ios::binary) << "alt";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFileDialog dialog("csv", nullptr, OFN_OVERWRITEPROMPT,
                           "VKX260 Zeitlisten (.csv)|*.csv|Alle Dateien (*.*)|*.*|");
        dialog.SetInitialDir(WideToUtf8(folder));
        dialog.SetTitle("Speichern unter");
        HWND saveAs = nullptr;
        std::wstring title(32, L'\0');
        bool typed = false;
        bool asked = false;
        int result = 0;
        {
            // The name is typed and OK pressed; an overwrite question is answered No, and then the
            // dialog, still open, is cancelled.
            TickWhileModal tick([&] {
                for (HWND shown : ShownDialogs()) {
                    if (GetDlgItem(shown, IDOK) && (GetDlgItem(shown, edt1) || GetDlgItem(shown, cmb13))) {
                        saveAs = shown;
                    } else if (saveAs && GetWindow(shown, GW_OWNER) == saveAs) {
                        asked = true;
                        Click(shown, IDNO);
                        return;
                    }
                }
                if (saveAs && !typed) {
                    title.resize(static_cast<size_t>(
                        GetWindowTextW(saveAs, title.data(), static_cast<int>(title.size()))));
                    SetWindowTextW(
                        GetDlgItem(saveAs, edt1) ? GetDlgItem(saveAs, edt1) : GetDlgItem(saveAs, cmb13),
                        c.typed.c_str());
                    Click(saveAs, IDOK);
                    typed = true;
                } else if (saveAs && IsWindow(saveAs)) {
                    Click(saveAs, IDCANCEL);
                }
            });
            result = dialog.DoModal();
        }
        ASSERT_TRUE(typed) << "no Save As dialog appeared";
        EXPECT_EQ(WideToUtf8(title), "Speichern unter") << "the title is the program's, not the system's";
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(result, c.result);
        if (result == IDOK) {
            CStdioFile file;
            EXPECT_EQ(file.Open(dialog.GetPathName()), !c.written.empty()) << dialog.GetPathName();
            if (!c.written.empty()) {
                const std::wstring written = folder + L"\\" + c.written;
                EXPECT_EQ(dialog.GetPathName(), WideToUtf8(written));
                file.WriteString("neu");
                file.Close();
                EXPECT_EQ(Contents(written), "neu");
                DeleteFileW(written.c_str());
            }
        }
        EXPECT_EQ(Contents(folder + L"\\liste.csv"), "alt");
        EXPECT_EQ(FilesIn(folder), 1u);
    }
    DeleteFileW((folder + L"\\liste.csv").c_str());
    RemoveDirectoryW(folder.c_str());
}

// The old file stays whole when it cannot be replaced, a replaced file keeps its attributes, a
// folder deeper than MAX_PATH is no obstacle, and no temporary file is left behind.
TEST(Win32StdioFile, ReplacesTheOldFileOnlyWhenComplete) {
    struct Case {
        const char* name;
        std::wstring subfolder;
        DWORD oldAttributes;
        bool targetHeldOpen;
        bool opens;
        const char* expected;
        bool throws;
    };
    std::wstring deep;
    for (int level = 0; level < 4; ++level) {
        deep += L"\\" + std::wstring(60, static_cast<wchar_t>(L'a' + level));
    }
    const Case cases[] = {
        {"replaced", L"", 0, false, true, "new;\r\n", false},
        {"held by another program", L"", 0, true, true, "old;\r\n", true},
        {"hidden, and stays so", L"", FILE_ATTRIBUTE_HIDDEN, false, true, "new;\r\n", false},
        {"read-only, not opened", L"", FILE_ATTRIBUTE_READONLY, false, false, "old;\r\n", false},
        {"in a folder deeper than MAX_PATH", deep, 0, false, true, "new;\r\n", false},
    };
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The test's own calls take the extended form, which no folder depth stops.
        const std::wstring folder = L"\\\\?\\" + std::wstring(base) + L"vkx-stdiofile" + c.subfolder;
        for (size_t end = folder.find(L"\\vkx-stdiofile"); end != std::wstring::npos;
             end = folder.find(L'\\', end + 1)) {
            CreateDirectoryW(folder.substr(0, end).c_str(), nullptr);
        }
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        const std::wstring target = folder + L"\\Liste.csv";
        std::ofstream(target.c_str(), std::ios::binary) << "old;\r\n";
        ASSERT_TRUE(c.oldAttributes == 0 || SetFileAttributesW(target.c_str(), c.oldAttributes));
        ASSERT_EQ(GetFileAttributesW(target.c_str()) & c.oldAttributes, c.oldAttributes);
        HANDLE holder = c.targetHeldOpen ? CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                                         : INVALID_HANDLE_VALUE;
        // The program names the file as the Save As dialog gives it.
        const std::string path = WideToUtf8(target.substr(4));
        bool threw = false;
        {
            CStdioFile file;
            EXPECT_EQ(file.Open(path), c.opens);
            try {
                file.WriteString("new;\r\n");
                file.Close();
            } catch (const CFileException& error) {
                threw = true;
                EXPECT_EQ(error.FileName(), path);
            }
        }
        if (holder != INVALID_HANDLE_VALUE) {
            CloseHandle(holder);
        }
        EXPECT_EQ(threw, c.throws || !c.opens);
        EXPECT_EQ(Contents(target), c.expected);
        EXPECT_EQ(GetFileAttributesW(target.c_str()) & c.oldAttributes, c.oldAttributes);
        EXPECT_EQ(FilesIn(folder), 1u);
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(target.c_str());
        for (std::wstring level = folder; level.size() > folder.find(L"\\vkx-stdiofile");
             level.resize(level.find_last_of(L'\\'))) {
            RemoveDirectoryW(level.c_str());
        }
    }
}

TEST(Win32NewTextFile, NeverReplacesAFileNorLeavesAPartOne) {
    struct Case {
        const char* name;
        bool taken;
        bool folderGone;
        NewTextFileResult result;
        std::string expected;
    };
    const Case cases[] = {
        {"free name", false, false, NewTextFileResult::Written, "new;\r\n"},
        {"name taken", true, false, NewTextFileResult::NameTaken, "old;\r\n"},
        {"folder gone", false, true, NewTextFileResult::Failed, ""},
    };
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    const std::wstring folder = std::wstring(base) + L"vkx-newtextfile";
    const std::wstring target = folder + L"\\vkx260-2026-12-07-143205.csv";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.folderGone) {
            CreateDirectoryW(folder.c_str(), nullptr);
        }
        if (c.taken) {
            std::ofstream(target.c_str(), std::ios::binary) << "old;\r\n";
        }
        std::string path;
        EXPECT_EQ(WriteNewTextFile(WideToUtf8(folder), "vkx260-2026-12-07-143205.csv", "new;\r\n", path),
                  c.result);
        EXPECT_EQ(path, WideToUtf8(target));
        if (!c.folderGone) {
            EXPECT_EQ(Contents(target), c.expected);
            EXPECT_EQ(FilesIn(folder), 1u) << "a temporary file is left behind";
        }
        DeleteFileW(target.c_str());
        RemoveDirectoryW(folder.c_str());
    }
}

}  // namespace
