// The folders that path macros in the configuration stand for. The program
// decides as a 32-bit program on the same Windows would: the x64 build asks
// explicitly for the 32-bit system folder and common files folder, which a
// 32-bit program gets by default.
#include <windows.h>

#include <shlobj.h>

#include <cwchar>

#include "win32/code_page.h"
#include "win32/system_library.h"
#include "win32/system_programs.h"
#include "win32/unique_handles.h"
#include "win32/win32_platform.h"

namespace platform::win32 {
namespace {

#ifdef _WIN64
constexpr int kCommonFilesFolderId = CSIDL_PROGRAM_FILES_COMMONX86;
static_assert(kCommonFilesFolderId == 0x2C, "the 32-bit common program files folder");
#else
constexpr int kCommonFilesFolderId = CSIDL_PROGRAM_FILES_COMMON;
static_assert(kCommonFilesFolderId == 0x2B, "the common program files folder");
#endif

// SHGetFolderPathW, bound at run time from the system folder's shell32.dll;
// the library stays loaded as long as the binding.
class CShell32 {
public:
    CShell32() : library_(LoadSystemLibrary("shell32.dll")) {
        if (library_) {
            getFolderPath_ =
                LookUpEntry<decltype(&::SHGetFolderPathW)>(library_.get(), "SHGetFolderPathW");
        }
    }

    // Null when the library or the function is missing.
    decltype(&::SHGetFolderPathW) GetFolderPath() const { return getFolderPath_; }

private:
    UniqueModule library_;
    decltype(&::SHGetFolderPathW) getFolderPath_ = nullptr;
};

}  // namespace

bool Win32Files::SystemFolder(std::string* folder) {
    wchar_t path[MAX_PATH] = {};
    const UINT length = SystemFolderOf32BitPrograms(path);
    if (length == 0 || length >= MAX_PATH) return false;
    *folder = Narrow(path, length);
    return true;
}

bool Win32Files::CommonProgramFilesFolder(std::string* folder) {
    const CShell32 shell;
    const auto getFolderPath = shell.GetFolderPath();
    if (getFolderPath == nullptr) return false;
    wchar_t path[MAX_PATH] = {};
    // No token: the current user.
    if (FAILED(getFolderPath(nullptr, kCommonFilesFolderId, nullptr, SHGFP_TYPE_CURRENT, path))) {
        return false;
    }
    *folder = Narrow(path, wcsnlen(path, MAX_PATH));
    return true;
}

}  // namespace platform::win32
