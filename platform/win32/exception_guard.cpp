// GCC has no __try/__except. On x64, MinGW-w64's __try1/__except1 place a
// scope-table entry for the system's table-based unwinder: the filter below
// decides, and execution resumes after __except1. On x86 the guard is a
// frame handler on the fs:0 chain that leaves through longjmp. Only one
// guarded block may appear in this file (its labels are fixed names), the
// filter must be an external symbol, and only volatile state is reliable
// after the jump.
#include "platform/win32/exception_guard.h"

#include <windows.h>

#if !defined(_MSC_VER)
#include <excpt.h>
#include <setjmp.h>
#endif

namespace platform::win32 {
namespace {

volatile DWORD g_exceptionCode = 0;
volatile LONG g_raised = 0;

}  // namespace
}  // namespace platform::win32

#if defined(_MSC_VER)

namespace platform::win32 {

static LONG Filter(DWORD code) {
    g_exceptionCode = code;
    return EXCEPTION_EXECUTE_HANDLER;
}

bool CallGuarded(void (*fn)(void*), void* context, uint32_t* exceptionCode) {
    g_raised = 0;
    __try {
        fn(context);
    } __except (Filter(GetExceptionCode())) {
        g_raised = 1;
    }
    if (g_raised == 0) return true;
    *exceptionCode = g_exceptionCode;
    return false;
}

}  // namespace platform::win32

#elif defined(__x86_64__)

extern "C" LONG setup_exception_guard_filter(EXCEPTION_POINTERS* pointers, void* /*frame*/) {
    platform::win32::g_exceptionCode = pointers->ExceptionRecord->ExceptionCode;
    platform::win32::g_raised = 1;
    return EXCEPTION_EXECUTE_HANDLER;
}

namespace platform::win32 {

bool CallGuarded(void (*fn)(void*), void* context, uint32_t* exceptionCode) {
    g_raised = 0;
    void (*volatile call)(void*) = fn;
    __try1(setup_exception_guard_filter)
        call(context);
    __except1
    if (g_raised == 0) return true;
    *exceptionCode = g_exceptionCode;
    return false;
}

}  // namespace platform::win32

#elif defined(__i386__)

namespace platform::win32 {
namespace {
jmp_buf g_resume;
}  // namespace
}  // namespace platform::win32

extern "C" EXCEPTION_DISPOSITION setup_exception_guard_handler(EXCEPTION_RECORD* record,
                                                               void* /*frame*/,
                                                               CONTEXT* /*context*/,
                                                               void* /*dispatcher*/) {
    if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0) {
        return ExceptionContinueSearch;
    }
    platform::win32::g_exceptionCode = record->ExceptionCode;
    longjmp(platform::win32::g_resume, 1);
}

namespace platform::win32 {

bool CallGuarded(void (*fn)(void*), void* context, uint32_t* exceptionCode) {
    g_raised = 0;
    void* volatile previous = nullptr;
    __asm__ __volatile__("movl %%fs:0, %0" : "=r"(previous));
    void (*volatile call)(void*) = fn;
    if (setjmp(g_resume) == 0) {
        __try1(setup_exception_guard_handler)
            call(context);
        __except1
    } else {
        // Leave the handler's record off the chain, whatever the unwind did.
        void* restored = previous;
        __asm__ __volatile__("movl %0, %%fs:0" : : "r"(restored) : "memory");
        g_raised = 1;
    }
    if (g_raised == 0) return true;
    *exceptionCode = g_exceptionCode;
    return false;
}

}  // namespace platform::win32

#else
#error "no exception guard for this architecture"
#endif
