// component.exe CODE [MARKER [ARGUMENTS...]]
//
// Stands in for a component's installer (or uninstaller, or a program run
// after the product). It appends one line to MARKER, when given: its own
// whole command line as it received it, in UTF-8, so that a test sees both
// that it ran and with which arguments. Then it exits with CODE, a decimal
// number read as an unsigned 32-bit value (3010, 1603, ...).
//
// A marker in a folder that does not exist yet is created with the folder.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::string ToUtf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::string out(static_cast<size_t>(size - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
    return out;
}

void MakeParentFolders(const std::wstring& path) {
    for (size_t pos = path.find_first_of(L"\\/", 3); pos != std::wstring::npos;
         pos = path.find_first_of(L"\\/", pos + 1)) {
        CreateDirectoryW(path.substr(0, pos).c_str(), nullptr);
    }
}

bool AppendLine(const std::wstring& path, const std::string& line) {
    MakeParentFolders(path);
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == line.size();
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv || count < 2) {
        std::fprintf(stderr, "usage: component.exe CODE [MARKER [ARGUMENTS...]]\n");
        return 255;
    }
    wchar_t* end = nullptr;
    const unsigned long code = std::wcstoul(argv[1], &end, 10);
    if (end == argv[1] || *end != L'\0') {
        std::fprintf(stderr, "component.exe: CODE must be a decimal number\n");
        return 255;
    }
    if (count >= 3 && !AppendLine(argv[2], ToUtf8(GetCommandLineW()) + "\r\n")) {
        std::fprintf(stderr, "component.exe: cannot write the marker (error %lu)\n", GetLastError());
        return 254;
    }
    return static_cast<int>(code);
}
