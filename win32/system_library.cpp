#include "win32/system_library.h"

#include <string>

#include "win32/code_page.h"

namespace platform::win32 {

UniqueModule LoadSystemLibrary(const char* fileName) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return UniqueModule();
    // With a full path and the altered search order, the library's own
    // imports are also looked for in the system folder first.
    return UniqueModule(::LoadLibraryExW(Wide(Narrow(folder, length) + "\\" + fileName), nullptr,
                                         LOAD_WITH_ALTERED_SEARCH_PATH));
}

}  // namespace platform::win32
