#pragma once

#include <string>
#include <string_view>

// The program's strings are UTF-8; Windows' W functions take UTF-16. Bytes that are not UTF-8 (or
// units that are not UTF-16) become U+FFFD rather than failing, so a name always reads as something.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// For names of files, where a stand-in character would name another file. PathToUtf8 writes a unit
// that is no character (an unpaired surrogate, which NTFS allows in names) as its own three bytes,
// which are no UTF-8; PathToWide refuses any text that is no UTF-8 with an empty result. So such a
// name can be passed along and shown, but never opens another file.
std::string PathToUtf8(std::wstring_view path);
std::wstring PathToWide(std::string_view path);
