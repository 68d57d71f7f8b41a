#include "link/Utf16.h"

#include <windows.h>

#include <climits>

std::wstring Utf8ToWide(std::string_view text) {
    if (text.empty() || text.size() > INT_MAX) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    if (wideLength <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    if (MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), wideLength) != wideLength) {
        return {};
    }
    return wide;
}

std::string WideToUtf8(std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    const int narrowLength =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (narrowLength <= 0) {
        return {};
    }
    std::string narrow(static_cast<std::size_t>(narrowLength), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, text.data(), length, narrow.data(), narrowLength, nullptr, nullptr) !=
        narrowLength) {
        return {};
    }
    return narrow;
}

std::string PathToUtf8(std::wstring_view path) {
    std::string narrow;
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto unit = static_cast<unsigned>(path[i]);
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (high && i + 1 < path.size() && path[i + 1] >= 0xDC00 && path[i + 1] <= 0xDFFF) {
            ++i;
        } else if (high || low) {
            narrow += WideToUtf8(path.substr(start, i - start));
            narrow += static_cast<char>(0xE0 | (unit >> 12));
            narrow += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            narrow += static_cast<char>(0x80 | (unit & 0x3F));
            start = i + 1;
        }
    }
    return narrow + WideToUtf8(path.substr(start));
}

std::wstring PathToWide(std::string_view path) {
    if (path.empty() || path.size() > INT_MAX) {
        return {};
    }
    const int length = static_cast<int>(path.size());
    const int wideLength =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), length, nullptr, 0);
    if (wideLength <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), length, wide.data(), wideLength) !=
        wideLength) {
        return {};
    }
    return wide;
}
