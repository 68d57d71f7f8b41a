#pragma once

#include <string>

// The program's text is UTF-8; Windows' W functions take UTF-16. No code page takes part.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
