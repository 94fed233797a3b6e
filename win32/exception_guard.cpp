// GCC has no __try/__except. On x64, MinGW-w64's __try1/__except1 place a
// scope-table entry for the system's table-based unwinder: the filter below
// decides, and execution resumes after __except1. Only one guarded block may
// appear in this file (its labels are fixed names) and the filter must be an
// external symbol. On x86 the guard is a frame handler on the fs:0 chain,
// registered by a small assembly routine (see there).
#include "win32/exception_guard.h"

#include <windows.h>

#if !defined(_MSC_VER)
#include <excpt.h>
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

// The x86 guard keeps its registration record where no compiler-generated
// code can reach it: setup_guarded_call (below, in assembly) pushes the
// record, makes the call and removes the record itself. On an exception the
// handler unwinds the frames above the record (so fs:0 is the record again)
// and resumes in the routine's own epilogue with its stack and frame
// pointers restored, as a compiler's __except would; both steps are in
// assembly, because no register survives the system's unwind.
extern "C" {
int setup_guarded_call(void (*fn)(void*), void* context);
[[noreturn]] void setup_guarded_unwind(void* frame, EXCEPTION_RECORD* record);
EXCEPTION_DISPOSITION __cdecl setup_exception_guard_handler(EXCEPTION_RECORD* record, void* frame,
                                                            CONTEXT* context, void* dispatcher);
}

// Stack of setup_guarded_call once its record is on the chain:
//   ebp-20 record.prev   ebp-16 record.handler   ebp-12 edi   ebp-8 esi
//   ebp-4 ebx   ebp+0 saved ebp   ebp+4 return address   ebp+8 fn   ebp+12 context
__asm__(
    ".text\n"
    ".globl _setup_guarded_call\n"
    "_setup_guarded_call:\n"
    "    pushl %ebp\n"
    "    movl %esp, %ebp\n"
    "    pushl %ebx\n"
    "    pushl %esi\n"
    "    pushl %edi\n"
    "    pushl $_setup_exception_guard_handler\n"
    "    pushl %fs:0\n"
    "    movl %esp, %fs:0\n"
    "    pushl 12(%ebp)\n"
    "    call *8(%ebp)\n"
    "    addl $4, %esp\n"
    "    xorl %eax, %eax\n"
    "setup_guarded_call_leave:\n"
    "    movl (%esp), %ecx\n"
    "    movl %ecx, %fs:0\n"
    "    addl $8, %esp\n"
    "    popl %edi\n"
    "    popl %esi\n"
    "    popl %ebx\n"
    "    popl %ebp\n"
    "    ret\n"
    // RtlUnwind(frame, 0, record, 0) lets the handlers of the frames above
    // ours clean up and leaves our record at the head of the chain. It
    // returns with ebx, esi and edi cleared, so the record's address comes
    // back from the stack, not from a register.
    ".globl _setup_guarded_unwind\n"
    "_setup_guarded_unwind:\n"
    "    movl 4(%esp), %eax\n"
    "    movl 8(%esp), %ecx\n"
    "    pushl %eax\n"
    "    pushl $0\n"
    "    pushl %ecx\n"
    "    pushl $0\n"
    "    pushl %eax\n"
    "    call *__imp__RtlUnwind@16\n"
    "    movl (%esp), %esp\n"
    "    leal 20(%esp), %ebp\n"
    "    cld\n"
    "    movl $1, %eax\n"
    "    jmp setup_guarded_call_leave\n");

extern "C" EXCEPTION_DISPOSITION __cdecl setup_exception_guard_handler(EXCEPTION_RECORD* record,
                                                                       void* frame,
                                                                       CONTEXT* /*context*/,
                                                                       void* /*dispatcher*/) {
    if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0) {
        return ExceptionContinueSearch;
    }
    platform::win32::g_exceptionCode = record->ExceptionCode;
    setup_guarded_unwind(frame, record);
}

namespace platform::win32 {

bool CallGuarded(void (*fn)(void*), void* context, uint32_t* exceptionCode) {
    if (setup_guarded_call(fn, context) == 0) return true;
    *exceptionCode = g_exceptionCode;
    return false;
}

}  // namespace platform::win32

#else
#error "no exception guard for this architecture"
#endif
