// setup.exe is built without C++ exceptions. What would have thrown (an
// allocation that fails, a string or container asked to grow past its
// limit) cannot be recovered from, and must not return into the code that
// asked for it: it ends the process at once with exit code 3, the code of a
// failed run. These definitions take the place of the C++ library's own, so
// that none of its exception machinery is linked in.
#include <windows.h>

#include <cstdlib>
#include <new>

namespace {

constexpr UINT kExitFailure = 3;

[[noreturn]] void EndProcess() {
    // Nothing of the program runs any more: no exit handlers, no static
    // destructors. Entries already in the setup log are on disk.
    ::TerminateProcess(::GetCurrentProcess(), kExitFailure);
    ::ExitProcess(kExitFailure);
}

}  // namespace

void* operator new(std::size_t size) {
    void* block = std::malloc(size != 0 ? size : 1);
    if (block == nullptr) EndProcess();
    return block;
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

#if defined(__GLIBCXX__)
// The C++ library's headers report these failures by calling the functions
// below (bits/functexcept.h); all of them end the process.
namespace std {
void __throw_bad_exception() { EndProcess(); }
void __throw_bad_alloc() { EndProcess(); }
void __throw_bad_array_new_length() { EndProcess(); }
void __throw_bad_cast() { EndProcess(); }
void __throw_bad_typeid() { EndProcess(); }
void __throw_logic_error(const char*) { EndProcess(); }
void __throw_domain_error(const char*) { EndProcess(); }
void __throw_invalid_argument(const char*) { EndProcess(); }
void __throw_length_error(const char*) { EndProcess(); }
void __throw_out_of_range(const char*) { EndProcess(); }
void __throw_out_of_range_fmt(const char*, ...) { EndProcess(); }
void __throw_runtime_error(const char*) { EndProcess(); }
void __throw_range_error(const char*) { EndProcess(); }
void __throw_overflow_error(const char*) { EndProcess(); }
void __throw_underflow_error(const char*) { EndProcess(); }
void __throw_bad_function_call() { EndProcess(); }
}  // namespace std
#endif

#if defined(__GNUC__)
// A call of a pure virtual function (a fault of the program itself).
extern "C" void __cxa_pure_virtual() { EndProcess(); }
#endif
