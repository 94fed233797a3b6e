#include <windows.h>

#include <algorithm>
#include <vector>

#include "win32/unique_handles.h"
#include "win32/win32_platform.h"

namespace platform::win32 {
namespace {

static_assert(KEY_READ == 0x20019, "read access to a key");

HKEY RootKey(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
        case RegistryRoot::CurrentUser: return HKEY_CURRENT_USER;
        case RegistryRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
        case RegistryRoot::Users: return HKEY_USERS;
        case RegistryRoot::PerformanceData: return HKEY_PERFORMANCE_DATA;
    }
    return nullptr;
}

// The view the program reads: by default what a 32-bit program sees, which
// the x64 build has to ask for.
REGSAM ViewAccess(RegistryView view) {
    if (view == RegistryView::View64) return KEY_WOW64_64KEY;
#ifdef _WIN64
    return KEY_WOW64_32KEY;
#else
    return 0;
#endif
}

}  // namespace

uint32_t Win32Registry::ReadValue(RegistryRoot root, const std::string& keyPath,
                                  const std::string& valueName, RegistryView view,
                                  size_t bufferSize, std::string* bytes, uint32_t* type) {
    const HKEY rootKey = RootKey(root);
    if (rootKey == nullptr) return ERROR_INVALID_HANDLE;
    HKEY opened = nullptr;
    const LONG openError =
        ::RegOpenKeyExA(rootKey, keyPath.c_str(), 0, KEY_READ | ViewAccess(view), &opened);
    if (openError != ERROR_SUCCESS) return static_cast<uint32_t>(openError);
    // An empty key path gives back the root key itself, which is never
    // closed: it is the process's shared handle.
    const UniqueKey key(opened != rootKey ? opened : nullptr);

    const DWORD size = static_cast<DWORD>(std::min<size_t>(bufferSize, MAXDWORD));
    std::vector<BYTE> buffer(std::max<DWORD>(size, 1), 0);
    DWORD returned = size;
    DWORD valueType = REG_NONE;
    const LONG readError =
        ::RegQueryValueExA(opened, valueName.c_str(), nullptr, &valueType, buffer.data(), &returned);
    if (readError != ERROR_SUCCESS) return static_cast<uint32_t>(readError);
    bytes->assign(reinterpret_cast<const char*>(buffer.data()), std::min(returned, size));
    *type = valueType;
    return ERROR_SUCCESS;
}

}  // namespace platform::win32
