#include "win32/system_library.h"

#include <string>

namespace platform::win32 {

UniqueModule LoadSystemLibrary(const char* fileName) {
    char folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return UniqueModule();

    std::string path(folder, length);
    if (path.back() != '\\') path += '\\';
    path += fileName;
    // With a full path and the altered search order, the library's own
    // imports are also looked for in the system folder first.
    return UniqueModule(::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

}  // namespace platform::win32
