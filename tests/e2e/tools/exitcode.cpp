// exitcode.exe COMMAND LINE
// exitcode.exe --raw "COMMAND LINE"
//
// Starts COMMAND LINE (the rest of this program's own command line, taken
// verbatim; with --raw, the one argument that follows, unquoted by the usual
// rules, so that a caller whose arguments are quoted for it, as Wine quotes
// a Unix argv, can still pass blanks and quotes exactly) with CreateProcess, waits for it and prints its full 32-bit exit
// code in decimal on standard output, followed by a line feed. A Unix exit
// status keeps only the low 8 bits, which cannot tell 1602 or 3010 apart.
// Once the child runs, "exitcode.exe: started process <id>" goes to
// standard error, with the child's Windows process id.
//
// The program's own exit code is the child's (truncated by the host as
// usual); when the child cannot be started it prints a reason on standard
// error, nothing on standard output, and exits with 255.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>

namespace {

// Skips the first token of a command line by the rules Windows uses for
// argv[0]: a quoted program name runs to the closing quote, an unquoted one
// to the first blank or tab.
const wchar_t* SkipProgramName(const wchar_t* p) {
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p == L'"') ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}

}  // namespace

int main() {
    const wchar_t* tail = SkipProgramName(GetCommandLineW());
    if (*tail == L'\0') {
        std::fprintf(stderr, "usage: exitcode.exe PROGRAM [ARGUMENTS...]\n");
        return 255;
    }

    if (std::wcsncmp(tail, L"--raw", 5) == 0 && (tail[5] == L' ' || tail[5] == L'\t')) {
        int count = 0;
        wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
        if (!argv || count != 3) {
            std::fprintf(stderr, "usage: exitcode.exe --raw \"COMMAND LINE\"\n");
            return 255;
        }
        tail = argv[2];  // Lives until the process ends.
    }

    // CreateProcessW may write into the command-line buffer.
    size_t length = std::wcslen(tail);
    wchar_t* commandLine =
        static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (length + 1) * sizeof(wchar_t)));
    if (!commandLine) return 255;
    std::wcscpy(commandLine, tail);

    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof process);
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fprintf(stderr, "exitcode.exe: CreateProcess failed, error %lu\n", GetLastError());
        return 255;
    }
    CloseHandle(process.hThread);
    // Lets the caller tell this child's windows from those of other runs.
    std::fprintf(stderr, "exitcode.exe: started process %lu\n",
                 static_cast<unsigned long>(process.dwProcessId));
    std::fflush(stderr);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(process.hProcess, &code)) {
        std::fprintf(stderr, "exitcode.exe: GetExitCodeProcess failed, error %lu\n", GetLastError());
        CloseHandle(process.hProcess);
        return 255;
    }
    CloseHandle(process.hProcess);
    std::printf("%lu\n", static_cast<unsigned long>(code));
    std::fflush(stdout);
    return static_cast<int>(code);
}
