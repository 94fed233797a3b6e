// What the window probes share: JSON text output and class names.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

// A JSON string; everything outside printable ASCII as \uXXXX.
inline void AppendJsonString(std::string* out, const std::wstring& text) {
    out->push_back('"');
    for (wchar_t c : text) {
        unsigned unit = static_cast<unsigned>(c) & 0xFFFFu;
        if (unit >= 0x20 && unit < 0x7F && unit != '"' && unit != '\\') {
            out->push_back(static_cast<char>(unit));
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unit);
            out->append(escaped);
        }
    }
    out->push_back('"');
}

inline std::wstring ClassName(HWND window) {
    wchar_t name[64];
    int got = GetClassNameW(window, name, 64);
    return std::wstring(name, got > 0 ? static_cast<size_t>(got) : 0);
}
