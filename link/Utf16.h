#pragma once

#include <string>
#include <string_view>

// The program's strings are UTF-8; Windows' W functions take UTF-16. Bytes that are not UTF-8 (or
// units that are not UTF-16) become U+FFFD rather than failing, so a name always reads as something.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
