// What the recording test doubles of system libraries share: files beside
// the double, and text conversions for their call logs.
#pragma once

#include <windows.h>

#include <cstdio>
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

// The thread's exception-registration chain (fs:0) checked the way SEH
// overwrite protection checks it before dispatching: every record inside
// the thread's stack, 4-byte aligned, each above the one before, its
// handler outside the stack, and the last record's link 0xFFFFFFFF.
// "valid", or "broken: <why>"; x64 has no such chain ("none").
inline std::string ExceptionChainVerdict() {
#if defined(__i386__)
    // NT_TIB: ExceptionList at fs:0, StackBase at fs:4, StackLimit at fs:8.
    ULONG_PTR record = 0, high = 0, low = 0;
    __asm__ __volatile__("movl %%fs:0, %0\n\tmovl %%fs:4, %1\n\tmovl %%fs:8, %2"
                         : "=r"(record), "=r"(high), "=r"(low));
    ULONG_PTR previous = 0;
    char why[160];
    for (int depth = 0; depth < 1024; ++depth) {
        if (record == 0xFFFFFFFF) return "valid";
        if (record < low || record + 8 > high) {
            snprintf(why, sizeof why, "broken: record %d at %#lx outside the stack %#lx-%#lx", depth,
                     static_cast<unsigned long>(record), static_cast<unsigned long>(low),
                     static_cast<unsigned long>(high));
            return why;
        }
        if ((record & 3) != 0 || record <= previous) {
            snprintf(why, sizeof why, "broken: record %d at %#lx misaligned or not above %#lx", depth,
                     static_cast<unsigned long>(record), static_cast<unsigned long>(previous));
            return why;
        }
        const auto* entry = reinterpret_cast<const EXCEPTION_REGISTRATION_RECORD*>(record);
        const auto handler = reinterpret_cast<ULONG_PTR>(entry->Handler);
        if (handler >= low && handler < high) {
            snprintf(why, sizeof why, "broken: record %d at %#lx has its handler %#lx on the stack",
                     depth, static_cast<unsigned long>(record), static_cast<unsigned long>(handler));
            return why;
        }
        previous = record;
        record = reinterpret_cast<ULONG_PTR>(entry->Next);
    }
    return "broken: more than 1024 records";
#else
    return "none";
#endif
}
