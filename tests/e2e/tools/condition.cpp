// condition.exe CODE [--text TEXT | --hex HEX | --bytes N | --read-input TEXT |
//                     --leave-child TEXT | --sleep SECONDS]
//
// Stands in for a component's condition program: it writes to standard
// output, in one or more writes, then exits with CODE (decimal).
//
//   --text TEXT   the text of the argument, in UTF-8
//   --hex HEX     the bytes spelled by HEX (two hex digits each), as they
//                 are: a test can hand over UTF-8 text whose letters do
//                 not appear on the command line at all
//   --bytes N     N bytes, "0123456789" over and over, in writes of 4 KB:
//                 an output larger than any pipe buffer
//   --read-input TEXT   reads standard input to its end first, then
//                 writes TEXT (a script that asks for input)
//   --leave-child TEXT  starts "condition.exe 0 --sleep 600", which
//                 inherits the standard handles, writes TEXT and exits
//                 without waiting for it (a program that leaves a
//                 background process behind)
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

bool WriteAll(const char* data, size_t size) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    while (size > 0) {
        DWORD written = 0;
        const DWORD chunk = size > 4096 ? 4096 : static_cast<DWORD>(size);
        if (!WriteFile(out, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

bool ParseNumber(const wchar_t* text, unsigned long* value) {
    wchar_t* end = nullptr;
    *value = std::wcstoul(text, &end, 10);
    return end != text && *end == L'\0';
}

int Usage() {
    std::fprintf(stderr, "usage: condition.exe CODE [OPTION VALUE]\n");
    return 255;
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    unsigned long code = 0;
    if (!argv || (count != 2 && count != 4) || !ParseNumber(argv[1], &code)) return Usage();

    std::string output;
    if (count == 4) {
        const std::wstring option = argv[2];
        const wchar_t* value = argv[3];
        if (option == L"--text") {
            const int size = WideCharToMultiByte(CP_UTF8, 0, value, -1, nullptr, 0, nullptr, nullptr);
            if (size > 1) {
                output.resize(static_cast<size_t>(size - 1));
                WideCharToMultiByte(CP_UTF8, 0, value, -1, &output[0], size, nullptr, nullptr);
            }
        } else if (option == L"--hex") {
            const size_t length = std::wcslen(value);
            if (length % 2 != 0) return Usage();
            for (size_t i = 0; i < length; i += 2) {
                const int high = HexDigit(value[i]), low = HexDigit(value[i + 1]);
                if (high < 0 || low < 0) return Usage();
                output.push_back(static_cast<char>(high * 16 + low));
            }
        } else if (option == L"--bytes") {
            unsigned long size = 0;
            if (!ParseNumber(value, &size)) return Usage();
            output.reserve(size);
            for (unsigned long i = 0; i < size; ++i) output.push_back(static_cast<char>('0' + i % 10));
        } else if (option == L"--read-input" || option == L"--leave-child") {
            const int size = WideCharToMultiByte(CP_UTF8, 0, value, -1, nullptr, 0, nullptr, nullptr);
            output.resize(static_cast<size_t>(size > 1 ? size - 1 : 0));
            if (size > 1) WideCharToMultiByte(CP_UTF8, 0, value, -1, &output[0], size, nullptr, nullptr);
            if (option == L"--read-input") {
                char buffer[256];
                DWORD got = 0;
                while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) &&
                       got > 0) {
                }
            } else {
                wchar_t self[MAX_PATH] = {};
                GetModuleFileNameW(nullptr, self, MAX_PATH);
                std::wstring child = L"\"" + std::wstring(self) + L"\" 0 --sleep 600";
                STARTUPINFOW startup = {};
                startup.cb = sizeof(startup);
                startup.dwFlags = STARTF_USESTDHANDLES;
                startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
                startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
                startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
                PROCESS_INFORMATION started = {};
                if (!CreateProcessW(nullptr, &child[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                    &startup, &started)) {
                    return 253;
                }
                CloseHandle(started.hThread);
                CloseHandle(started.hProcess);
            }
        } else if (option == L"--sleep") {
            unsigned long seconds = 0;
            if (!ParseNumber(value, &seconds)) return Usage();
            Sleep(seconds * 1000);
        } else {
            return Usage();
        }
    }
    if (!WriteAll(output.data(), output.size())) {
        std::fprintf(stderr, "condition.exe: writing the output failed (error %lu)\n", GetLastError());
        return 254;
    }
    return static_cast<int>(code);
}
