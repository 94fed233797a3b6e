#include <windows.h>

#include <algorithm>
#include <vector>

#include "win32/code_page.h"
#include "win32/system_library.h"
#include "win32/unique_handles.h"
#include "win32/win32_platform.h"

namespace platform::win32 {
namespace {

static_assert((TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY) == 0x28,
              "token access for changing a privilege");
static_assert((FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
               FORMAT_MESSAGE_FROM_SYSTEM) == 0x1300,
              "error texts: system table, no inserts, system-allocated buffer");
static_assert(MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT) == 0x0400, "the user's default language");

// The run keeps this until it ends; closing it releases the guard.
class HeldHandle final : public Held {
public:
    explicit HeldHandle(HANDLE handle) : handle_(handle) {}

private:
    UniqueHandle handle_;
};

}  // namespace

LocalTime Win32System::Now() {
    SYSTEMTIME time;
    ::GetLocalTime(&time);
    LocalTime now;
    now.year = time.wYear;
    now.month = time.wMonth;
    now.day = time.wDay;
    now.hour = time.wHour;
    now.minute = time.wMinute;
    now.second = time.wSecond;
    return now;
}

uint16_t Win32System::UserDefaultLanguage() { return ::GetUserDefaultLangID(); }

uint16_t Win32System::NativeArchitecture() {
    SYSTEM_INFO info = {};
    // Older systems have only the plain query, which a 32-bit program on
    // 64-bit Windows answers as x86.
    const auto getNative = LookUpEntry<decltype(&::GetNativeSystemInfo)>(
        ::GetModuleHandleW(L"kernel32.dll"), "GetNativeSystemInfo");
    if (getNative != nullptr) {
        getNative(&info);
    } else {
        ::GetSystemInfo(&info);
    }
    return info.wProcessorArchitecture;
}

bool Win32System::Version(OsVersion* version) {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!::GetVersionExW(&info)) return false;
    version->major = info.dwMajorVersion;
    version->minor = info.dwMinorVersion;
    return true;
}

bool Win32System::VersionAtLeast(uint32_t major, uint32_t minor, uint16_t spMajor,
                                 uint16_t spMinor) {
    OSVERSIONINFOEXW wanted = {};
    wanted.dwOSVersionInfoSize = sizeof(wanted);
    wanted.dwMajorVersion = major;
    wanted.dwMinorVersion = minor;
    wanted.wServicePackMajor = spMajor;
    wanted.wServicePackMinor = spMinor;
    const DWORD fields =
        VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR | VER_SERVICEPACKMINOR;
    DWORDLONG conditions = 0;
    conditions = ::VerSetConditionMask(conditions, VER_MAJORVERSION, VER_GREATER_EQUAL);
    conditions = ::VerSetConditionMask(conditions, VER_MINORVERSION, VER_GREATER_EQUAL);
    conditions = ::VerSetConditionMask(conditions, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    conditions = ::VerSetConditionMask(conditions, VER_SERVICEPACKMINOR, VER_GREATER_EQUAL);
    return ::VerifyVersionInfoW(&wanted, fields, conditions) != FALSE;
}

bool Win32System::IsAdministrator() {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    UniqueSid administrators;
    if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                    DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                    administrators.put())) {
        return false;
    }
    const UniqueModule advapi = LoadSystemLibrary("advapi32.dll");
    if (!advapi) return false;
    const auto checkMembership =
        LookUpEntry<decltype(&::CheckTokenMembership)>(advapi.get(), "CheckTokenMembership");
    if (checkMembership == nullptr) return false;
    BOOL member = FALSE;
    // No token: the calling thread's effective token.
    if (!checkMembership(nullptr, administrators.get(), &member)) return false;
    return member != FALSE;
}

std::unique_ptr<Held> Win32System::CreateNamedMutex(const std::string& name,
                                                    bool* alreadyExisted) {
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, Wide(name));
    const DWORD error = ::GetLastError();
    if (alreadyExisted != nullptr) {
        *alreadyExisted = mutex != nullptr && error == ERROR_ALREADY_EXISTS;
    }
    if (mutex == nullptr) return nullptr;
    return std::make_unique<HeldHandle>(mutex);
}

void Win32System::EnableShutdownPrivilege() {
    const UniqueModule advapi = LoadSystemLibrary("advapi32.dll");
    if (!advapi) return;
    const auto openToken =
        LookUpEntry<decltype(&::OpenProcessToken)>(advapi.get(), "OpenProcessToken");
    const auto lookUpPrivilege =
        LookUpEntry<decltype(&::LookupPrivilegeValueW)>(advapi.get(), "LookupPrivilegeValueW");
    const auto adjustPrivileges =
        LookUpEntry<decltype(&::AdjustTokenPrivileges)>(advapi.get(), "AdjustTokenPrivileges");
    if (openToken == nullptr || lookUpPrivilege == nullptr || adjustPrivileges == nullptr) return;

    UniqueHandle token;
    if (!openToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) {
        return;
    }
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!lookUpPrivilege(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid)) return;
    adjustPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
}

uint32_t Win32System::Restart(uint32_t reason) {
    return ::ExitWindowsEx(EWX_REBOOT, reason) ? ERROR_SUCCESS : ::GetLastError();
}

bool Win32System::ErrorMessage(uint32_t code, std::string* text) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const UniqueLocalMemory owned(buffer);
    if (length == 0 || buffer == nullptr) return false;
    *text = Narrow(buffer, length);
    return true;
}

bool Win32System::EnvironmentVariable(const std::string& name, size_t bufferSize,
                                      std::string* value) {
    const DWORD size = static_cast<DWORD>(std::min<size_t>(bufferSize, MAXDWORD));
    if (size == 0) return false;
    std::vector<wchar_t> buffer(size, L'\0');
    // 0: missing (or empty); size or more: the size it would need.
    const DWORD length = ::GetEnvironmentVariableW(Wide(name), buffer.data(), size);
    if (length == 0 || length >= size) return false;
    *value = Narrow(buffer.data(), length);
    return true;
}

}  // namespace platform::win32
