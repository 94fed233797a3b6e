// What the recording test doubles of system libraries share: files beside
// the double, and text conversions for their call logs.
#pragma once

#include <windows.h>

#include <string>

// A file in the double's own folder.
inline std::wstring BesideModule(HMODULE module, const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return name;
    std::wstring folder(path, length);
    const size_t slash = folder.find_last_of(L"\\/");
    return folder.substr(0, slash == std::wstring::npos ? 0 : slash + 1) + name;
}

inline std::wstring Widen(const char* text, UINT codePage) {
    const int length = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (length <= 1) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length) - 1);
    return wide;
}

inline std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), &text[0], length,
                        nullptr, nullptr);
    return text;
}
