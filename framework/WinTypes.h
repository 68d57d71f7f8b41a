#pragma once

#include <cstdint>

// The window framework's types and constants, with the values the program's templates and handlers
// use. The constants have the values Windows gives them.

using UINT = unsigned int;
using UINT_PTR = std::uintptr_t;

// Opaque handles, declared as Windows declares them, so that they are Windows' own types where
// <windows.h> is included too. Only the framework's implementation looks behind them.
struct HWND__;
using HWND = HWND__*;
struct HICON__;
using HICON = HICON__*;
struct HBITMAP__;
using HBITMAP = HBITMAP__*;
struct HMENU__;
using HMENU = HMENU__*;

// Command results and message-box answers.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Message-box styles.
inline constexpr UINT MB_OK = 0x00;
inline constexpr UINT MB_YESNOCANCEL = 0x03;
inline constexpr UINT MB_YESNO = 0x04;
inline constexpr UINT MB_ICONSTOP = 0x10;
inline constexpr UINT MB_ICONQUESTION = 0x20;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr UINT MB_TYPEMASK = 0x0F;
inline constexpr UINT MB_ICONMASK = 0xF0;

// Menu item states.
inline constexpr UINT MF_ENABLED = 0x00;
inline constexpr UINT MF_GRAYED = 0x01;
inline constexpr UINT MF_STRING = 0x00;
inline constexpr UINT MF_SEPARATOR = 0x800;

// System commands.
inline constexpr UINT SC_MINIMIZE = 0xF020;
inline constexpr UINT SC_CLOSE = 0xF060;

// Save As dialog options.
inline constexpr UINT OFN_OVERWRITEPROMPT = 0x02;
