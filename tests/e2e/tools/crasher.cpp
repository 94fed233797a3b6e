// crasher.exe [ANYTHING...]
//
// Stands in for a component installer or a condition program that crashes:
// it writes one line to standard output, then writes through a null
// pointer. Its exit code is the access violation's (0xC0000005).
//
// It dies quietly: its own top-level exception filter lets the fault end
// the process at once, so the system starts no debugger for it and Wine
// writes no crash report to the standard error that it shares with its
// parent. A crash report there therefore names another process.
#include <windows.h>

namespace {

LONG WINAPI EndQuietly(EXCEPTION_POINTERS* /*exception*/) { return EXCEPTION_EXECUTE_HANDLER; }

}  // namespace

int main() {
    SetUnhandledExceptionFilter(EndQuietly);
    static const char line[] = "crasher.exe: about to crash\r\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, sizeof line - 1, &written, nullptr);
    *static_cast<volatile int*>(nullptr) = 0;
    return 0;
}
