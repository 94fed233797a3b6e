// Runs a call inside a structured-exception guard, so that a hardware
// exception raised inside it (an access violation in a library, say) is
// reported instead of ending the process.
#pragma once

#include <cstdint>

namespace platform::win32 {

// Calls fn(context). Returns false and sets *exceptionCode when a hardware
// exception was raised during the call. Not reentrant: the process has one
// run thread.
bool CallGuarded(void (*fn)(void*), void* context, uint32_t* exceptionCode);

}  // namespace platform::win32
