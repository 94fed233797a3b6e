// A stand-in for msiexec.exe that a stranger could drop beside a setup
// program, or in the folder a user starts it from. Started in place of the
// system's installer, it would run with the setup's rights; being started at
// all is the fault it exposes. It appends one line, its own path and its
// whole command line, to "<its own path>.started", and exits with 0.
#include <windows.h>

#include <string>

int main() {
    wchar_t self[MAX_PATH + 16];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    lstrcatW(self, L".started");

    std::wstring line = std::wstring(self, length) + L" | " + GetCommandLineW() + L"\r\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), &text[0], size,
                        nullptr, nullptr);

    HANDLE file = CreateFileW(self, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
