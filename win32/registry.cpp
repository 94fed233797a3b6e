#include <windows.h>

#include <algorithm>
#include <vector>

#include "win32/code_page.h"
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
        ::RegOpenKeyExW(rootKey, Wide(keyPath), 0, KEY_READ | ViewAccess(view), &opened);
    if (openError != ERROR_SUCCESS) return static_cast<uint32_t>(openError);
    // An empty key path gives back the root key itself, which is never
    // closed: it is the process's shared handle.
    const UniqueKey key(opened != rootKey ? opened : nullptr);

    // Room for bufferSize characters of text; a value that does not fill it
    // is measured against bufferSize below.
    const DWORD size = static_cast<DWORD>(std::min<size_t>(bufferSize, MAXDWORD / 2) * 2);
    std::vector<BYTE> buffer(std::max<DWORD>(size, 2), 0);
    DWORD returned = size;
    DWORD valueType = REG_NONE;
    const LONG readError =
        ::RegQueryValueExW(opened, Wide(valueName), nullptr, &valueType, buffer.data(), &returned);
    if (readError != ERROR_SUCCESS) return static_cast<uint32_t>(readError);
    returned = std::min(returned, size);
    *type = valueType;
    if (valueType == REG_SZ || valueType == REG_EXPAND_SZ || valueType == REG_MULTI_SZ) {
        // Text as UTF-8, its NULs kept; it fits when its characters and a
        // NUL at its end do.
        const auto* text = reinterpret_cast<const wchar_t*>(buffer.data());
        const size_t units = returned / 2;
        if (units + (units > 0 && text[units - 1] == L'\0' ? 0 : 1) > bufferSize) return ERROR_MORE_DATA;
        *bytes = Narrow(text, units);
        return ERROR_SUCCESS;
    }
    if (returned > bufferSize) return ERROR_MORE_DATA;
    bytes->assign(reinterpret_cast<const char*>(buffer.data()), returned);
    return ERROR_SUCCESS;
}

}  // namespace platform::win32
