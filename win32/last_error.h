// The calling thread's last error after a call that reported failure.
#pragma once

#include <windows.h>

namespace platform::win32 {

// A few functions can fail without setting the last error; callers read 0
// as success, so such a failure is given the fallback code instead.
inline DWORD LastErrorOr(DWORD fallback) {
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}

}  // namespace platform::win32
