// crasher.exe [ANYTHING...]
//
// Stands in for a component installer or a condition program that crashes:
// it writes one line to standard output, then writes to a page without
// access. Its exit code is the access violation's (0xC0000005).
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
    // Not address 0: an emulator may have it mapped.
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
#if defined(__i386__)
    // 32-bit Wine under qemu-user reports a real fault as an illegal
    // instruction; raise what Windows raises for this write instead.
    const ULONG_PTR write[2] = {1, reinterpret_cast<ULONG_PTR>(page)};
    RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 2, write);
#endif
    *static_cast<volatile int*>(page) = 0;
    return 0;
}
