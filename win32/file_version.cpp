// The file version from a file's version resource. version.dll is not a
// known DLL, so a static import would load whatever copy lies beside the
// program; it is bound at run time from the system folder instead.
#include <windows.h>

#include <winver.h>

#include <cstddef>

#include "win32/code_page.h"
#include "win32/last_error.h"
#include "win32/system_library.h"
#include "win32/unique_handles.h"
#include "win32/win32_platform.h"

namespace platform::win32 {
namespace {

// What a failed resource call reports when the system leaves the last
// error at 0: the caller reads 0 as success.
constexpr DWORD kNoVersionResource = ERROR_RESOURCE_TYPE_NOT_FOUND;

class VersionLibrary {
public:
    VersionLibrary() : library_(LoadSystemLibrary("version.dll")) {
        if (!library_) {
            error_ = LastErrorOr(ERROR_MOD_NOT_FOUND);
            return;
        }
        const HMODULE version = library_.get();
        if (!BindEntry(version, "GetFileVersionInfoSizeW", &getInfoSize) ||
            !BindEntry(version, "GetFileVersionInfoW", &getInfo) ||
            !BindEntry(version, "VerQueryValueW", &queryValue)) {
            error_ = LastErrorOr(ERROR_PROC_NOT_FOUND);
        }
    }

    // 0 when the library and all three entries are bound.
    DWORD error() const { return error_; }

    decltype(&::GetFileVersionInfoSizeW) getInfoSize = nullptr;
    decltype(&::GetFileVersionInfoW) getInfo = nullptr;
    decltype(&::VerQueryValueW) queryValue = nullptr;

private:
    UniqueModule library_;
    DWORD error_ = ERROR_SUCCESS;
};

}  // namespace

uint32_t Win32Files::FileVersion(const std::string& path, uint32_t* mostSignificant,
                                 uint32_t* leastSignificant) {
    *mostSignificant = 0xFFFFFFFFu;
    *leastSignificant = 0xFFFFFFFFu;

    const VersionLibrary library;
    if (library.error() != ERROR_SUCCESS) return library.error();

    const Wide file(path);
    DWORD ignored = 0;
    const DWORD size = library.getInfoSize(file, &ignored);
    if (size == 0) return LastErrorOr(kNoVersionResource);

    // Fixed memory: the handle is the address of the block.
    const UniqueGlobalMemory block(::GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size));
    if (!block) return ERROR_NOT_ENOUGH_MEMORY;
    void* const data = block.get();
    if (!library.getInfo(file, 0, size, data)) return LastErrorOr(kNoVersionResource);

    void* root = nullptr;
    UINT length = 0;
    // A root block too short to hold the file version leaves both words
    // all ones, as a missing one does.
    if (library.queryValue(data, L"\\", &root, &length) && root != nullptr &&
        length >= offsetof(VS_FIXEDFILEINFO, dwProductVersionMS)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(root);
        *mostSignificant = fixed->dwFileVersionMS;
        *leastSignificant = fixed->dwFileVersionLS;
    }
    return ERROR_SUCCESS;
}

}  // namespace platform::win32
