// What the recording test doubles of system libraries (and tool.exe) share.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

#define DOUBLE_ENTRY extern "C" __declspec(dllexport)

inline HMODULE g_self = nullptr;

inline std::wstring ModulePath(HMODULE module = g_self) {
    wchar_t path[MAX_PATH] = {};
    return std::wstring(path, GetModuleFileNameW(module, path, MAX_PATH));
}

// A file in the double's own folder (the system folder it was put in).
inline std::wstring Beside(const wchar_t* name) {
    const std::wstring path = ModulePath();
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

inline void AppendBytes(const std::wstring& path, const std::string& bytes, bool append = true) {
    HANDLE file = CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

inline std::wstring Wide(const char* text) {
    std::wstring out(strlen(text), L'\0');
    out.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(out.size()), &out[0],
                                                       static_cast<int>(out.size()))));
    return out;
}

inline std::string Utf8(const std::wstring& text) {
    std::string out(text.size() * 3, '\0');
    out.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0],
                                                       static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}

// One field of a call line: a text of the caller in UTF-8, CR, LF and "|" spelt out.
inline std::string Field(const wchar_t* text) {
    if (text == nullptr) return "(null)";
    std::string out;
    for (char c : Utf8(text)) out += c == '\r' ? "<CR>" : c == '\n' ? "<LF>" : c == '|' ? "<BAR>" : std::string(1, c);
    return out;
}

// A text of the caller in its ANSI code page.
inline std::string Field(const char* text) { return text ? Field(Wide(text).c_str()) : Field(static_cast<const wchar_t*>(nullptr)); }

inline std::string Num(unsigned long long value) { return std::to_string(value); }

inline const wchar_t* g_log = nullptr;

// Appends a call line, its fields joined by "|", to the call log beside the double.
template <typename... Fields>
void Record(const std::string& first, const Fields&... rest) {
    AppendBytes(Beside(g_log), (first + ... + ("|" + std::string(rest))) + "\n");
}

// "Load|<program>" at process attach.
inline void RecordLoad(HMODULE self, const wchar_t* log) {
    g_self = self;
    g_log = log;
    Record("Load", Utf8(ModulePath(nullptr)));
}

// The thread's exception-registration chain (fs:0) checked as SEH overwrite protection checks it
// before dispatching: "valid" or "broken: <why>"; x64 has no such chain: "none".
inline std::string ExceptionChainVerdict() {
#if defined(__i386__)
    ULONG_PTR record = 0, high = 0, low = 0, previous = 0;
    __asm__ __volatile__("movl %%fs:0, %0\n\tmovl %%fs:4, %1\n\tmovl %%fs:8, %2" : "=r"(record), "=r"(high), "=r"(low));
    for (int depth = 0; depth < 1024; ++depth) {
        if (record == 0xFFFFFFFF) return "valid";
        const auto* entry = reinterpret_cast<const EXCEPTION_REGISTRATION_RECORD*>(record);
        const ULONG_PTR handler = reinterpret_cast<ULONG_PTR>(entry->Handler);
        const char* why = record < low || record + 8 > high ? "outside the stack"
                          : (record & 3) != 0 || record <= previous ? "misaligned or not above the one before"
                          : handler >= low && handler < high ? "has its handler on the stack" : nullptr;
        if (why) return "broken: record " + std::to_string(depth) + " at " + Num(record) + " " + why;
        previous = record;
        record = reinterpret_cast<ULONG_PTR>(entry->Next);
    }
    return "broken: more than 1024 records";
#else
    return "none";
#endif
}

// An access violation on writing (not at address 0: an emulator may have it mapped).
inline void Fault() {
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
#if defined(__i386__)
    // 32-bit Wine under qemu-user reports a real fault as an illegal instruction.
    const ULONG_PTR write[2] = {1, reinterpret_cast<ULONG_PTR>(page)};
    RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 2, write);
#endif
    *static_cast<volatile int*>(page) = 0;
}
