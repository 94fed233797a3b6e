// What tool.exe and the recording double share.
#pragma once

#include <windows.h>

#include <string>

inline std::wstring ModulePath(HMODULE module = nullptr) {
    wchar_t path[MAX_PATH] = {};
    return std::wstring(path, GetModuleFileNameW(module, path, MAX_PATH));
}

inline void AppendBytes(const std::wstring& path, const std::string& bytes, bool append = true) {
    HANDLE file = CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

inline std::string Utf8(const std::wstring& text) {
    std::string out(text.size() * 3, '\0');
    out.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0],
                                                       static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
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
