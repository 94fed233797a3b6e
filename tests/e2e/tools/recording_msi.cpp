// A recording test double of msi.dll: the fifteen installer entries that a
// setup program binds, answered from a script and recorded in a call log.
//
// Both files lie beside this DLL (the prefix's system folder when a test
// installs it there):
//
//   recording_msi.ini   the script, read afresh at every call
//     [Package]  ProductCode, ProductVersion, ProductName: the values of the
//                package's Property table (a key that is absent has no row:
//                the fetch fails); Template: summary property 7 (absent:
//                the property read fails). Any path "opens".
//     [State]    ProductState: what MsiQueryProductStateA answers (default
//                -1; 5 installed, 1 advertised); InstalledVersion: the
//                installed "VersionString" (empty or absent: the product
//                info read fails with 1605).
//     [Result]   InstallProduct, ApplyPatch: what those calls return
//                (default 0); OpenDatabase (default 0: opens); Crash=1:
//                MsiInstallProductA and MsiApplyPatchA write to a page without
//                access (an access violation) after recording the call.
//
//   recording_msi.log   one UTF-8 line per call, fields separated by "|":
//     Load|<program path>                          (process attach)
//     MsiSetInternalUI|<level>|<window: null or set>
//     MsiEnableLogA|<mode>|<path>|<attributes>
//     MsiInstallProductA|<package>|<command line>
//     MsiApplyPatchA|<patch>|<install package>|<type>|<command line>
//     Chain|<verdict>   after each of those two: the thread's exception
//                       chain as SEH overwrite protection would judge it
//                       ("valid", "broken: ...", "none" on x64)
//     MsiReinstallProductA|<product>|<mode>
//     MsiQueryProductStateA|<product code>
//     MsiOpenDatabaseA|<path>|<persistence>
//     MsiDatabaseOpenViewA|<database>|<SQL>
//     MsiViewExecute|<view>|<record>
//     MsiViewFetch|<view>
//     MsiRecordGetStringA|<record>|<field>|<announced size>
//     MsiCloseHandle|<handle>
//     MsiGetProductInfoA|<product code>|<property>|<announced size>
//     MsiGetSummaryInformationA|<database>|<path>|<update count>
//     MsiSummaryInfoGetPropertyA|<summary>|<property>|<announced size>
//   A null string is written as "(null)"; 8-bit texts are taken in the
//   ANSI code page; carriage returns and line feeds inside a field are
//   written as <CR> and <LF>.
//
// Like an installer that appends its own log to the file that
// MsiEnableLogA named, MsiInstallProductA and MsiApplyPatchA write the
// 8-bit line "=== recording installer log ===\r\n" to that file before
// they return: appended when the attributes hold the append flag (1),
// replacing the file otherwise.
#include <windows.h>

#include "double_support.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using MsiHandle = unsigned long;

constexpr UINT kNoMoreItems = ERROR_NO_MORE_ITEMS;
constexpr UINT kUnknownProduct = 1605;   // ERROR_UNKNOWN_PRODUCT
constexpr UINT kUnknownProperty = 1608;  // ERROR_UNKNOWN_PROPERTY
constexpr UINT kMoreData = ERROR_MORE_DATA;
constexpr UINT kVtLpstr = 30;

// Handles this double gives out. A view and a record carry the property
// that the view's SQL asked for.
enum Query : MsiHandle { kQueryNone = 0, kQueryCode = 1, kQueryVersion = 2, kQueryName = 3 };
constexpr MsiHandle kDatabase = 0x100;
constexpr MsiHandle kViewBase = 0x200;
constexpr MsiHandle kRecordBase = 0x300;
constexpr MsiHandle kSummary = 0x400;

HMODULE g_self = nullptr;
std::wstring g_installerLog;  // the path MsiEnableLogA named
DWORD g_installerLogAttributes = 0;

std::wstring BesideSelf(const wchar_t* name) { return BesideModule(g_self, name); }

// One field of a call line: an 8-bit text of the caller.
std::string Field(const char* text) {
    if (text == nullptr) return "(null)";
    std::string out;
    for (char c : Utf8(Widen(text, CP_ACP))) {
        if (c == '\r') out += "<CR>";
        else if (c == '\n') out += "<LF>";
        else out += c;
    }
    return out;
}

std::string Number(long long value) { return std::to_string(value); }

void AppendBytes(const std::wstring& path, const std::string& bytes, bool append = true) {
    HANDLE file = CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

void Record(const std::string& line) {
    AppendBytes(BesideSelf(L"recording_msi.log"), line + "\n");
}

// A script value; false when the key is absent.
bool ScriptValue(const wchar_t* section, const wchar_t* key, std::wstring* value) {
    const wchar_t* absent = L"\x01absent\x01";
    wchar_t buffer[1024] = {};
    GetPrivateProfileStringW(section, key, absent, buffer, 1024, BesideSelf(L"recording_msi.ini").c_str());
    if (lstrcmpW(buffer, absent) == 0) return false;
    *value = buffer;
    return true;
}

int ScriptInt(const wchar_t* section, const wchar_t* key, int fallback) {
    std::wstring value;
    if (!ScriptValue(section, key, &value) || value.empty()) return fallback;
    return static_cast<int>(wcstol(value.c_str(), nullptr, 0));
}

// Copies an 8-bit value to a caller's buffer by the installer's rules:
// *size is the buffer's size in characters on entry and the value's length
// on return; a buffer too small for the value and its terminator gets
// ERROR_MORE_DATA.
UINT CopyOut(const std::wstring& value, char* buffer, DWORD* size) {
    std::string text;
    const int length = WideCharToMultiByte(CP_ACP, 0, value.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length > 1) {
        text.assign(static_cast<size_t>(length), '\0');
        WideCharToMultiByte(CP_ACP, 0, value.c_str(), -1, &text[0], length, nullptr, nullptr);
        text.resize(static_cast<size_t>(length) - 1);
    }
    if (size == nullptr) return ERROR_INVALID_PARAMETER;
    const DWORD available = *size;
    *size = static_cast<DWORD>(text.size());
    if (buffer == nullptr) return ERROR_SUCCESS;
    if (available <= text.size()) {
        if (available > 0) {
            memcpy(buffer, text.data(), available - 1);
            buffer[available - 1] = '\0';
        }
        return kMoreData;
    }
    memcpy(buffer, text.c_str(), text.size() + 1);
    return ERROR_SUCCESS;
}

const wchar_t* QueryKey(MsiHandle query) {
    switch (query) {
        case kQueryCode: return L"ProductCode";
        case kQueryVersion: return L"ProductVersion";
        case kQueryName: return L"ProductName";
        default: return nullptr;
    }
}

// The installer's own log, as an installer appending to it would write it.
void WriteInstallerLog() {
    if (g_installerLog.empty()) return;
    AppendBytes(g_installerLog, "=== recording installer log ===\r\n",
                (g_installerLogAttributes & 1) != 0);
}

void CrashIfAsked() {
    if (ScriptInt(L"Result", L"Crash", 0) == 1) {
        // Not address 0: an emulator may have it mapped.
        void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
#if defined(__i386__)
        // 32-bit Wine under qemu-user reports a real fault as an illegal
        // instruction; raise what Windows raises for this write instead.
        const ULONG_PTR write[2] = {1, reinterpret_cast<ULONG_PTR>(page)};
        RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 2, write);
#endif
        *static_cast<volatile int*>(page) = 0;
    }
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = instance;
        char program[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
        Record("Load|" + Field(length < MAX_PATH ? program : ""));
    }
    return TRUE;
}

int WINAPI MsiSetInternalUI(int level, HWND* window) {
    Record("MsiSetInternalUI|" + Number(level) + "|" + (window ? "set" : "null"));
    return 1;  // INSTALLUILEVEL_DEFAULT: the level before
}

UINT WINAPI MsiEnableLogA(DWORD mode, const char* path, DWORD attributes) {
    Record("MsiEnableLogA|" + Number(mode) + "|" + Field(path) + "|" + Number(attributes));
    g_installerLog = path ? Widen(path, CP_ACP) : std::wstring();
    g_installerLogAttributes = attributes;
    return ERROR_SUCCESS;
}

UINT WINAPI MsiInstallProductA(const char* package, const char* commandLine) {
    Record("MsiInstallProductA|" + Field(package) + "|" + Field(commandLine));
    Record("Chain|" + ExceptionChainVerdict());
    CrashIfAsked();
    WriteInstallerLog();
    return static_cast<UINT>(ScriptInt(L"Result", L"InstallProduct", 0));
}

UINT WINAPI MsiApplyPatchA(const char* patch, const char* installPackage, int installType,
                           const char* commandLine) {
    Record("MsiApplyPatchA|" + Field(patch) + "|" + Field(installPackage) + "|" +
           Number(installType) + "|" + Field(commandLine));
    Record("Chain|" + ExceptionChainVerdict());
    CrashIfAsked();
    WriteInstallerLog();
    return static_cast<UINT>(ScriptInt(L"Result", L"ApplyPatch", 0));
}

UINT WINAPI MsiReinstallProductA(const char* product, DWORD mode) {
    Record("MsiReinstallProductA|" + Field(product) + "|" + Number(mode));
    return ERROR_SUCCESS;
}

int WINAPI MsiQueryProductStateA(const char* product) {
    Record("MsiQueryProductStateA|" + Field(product));
    return ScriptInt(L"State", L"ProductState", -1);
}

UINT WINAPI MsiOpenDatabaseA(const char* path, const char* persist, MsiHandle* database) {
    // The persistence mode is a small number (0 read-only) or an output path.
    const ULONG_PTR mode = reinterpret_cast<ULONG_PTR>(persist);
    Record("MsiOpenDatabaseA|" + Field(path) + "|" +
           (mode < 0x10000 ? Number(static_cast<long long>(mode)) : Field(persist)));
    const UINT result = static_cast<UINT>(ScriptInt(L"Result", L"OpenDatabase", 0));
    if (result == ERROR_SUCCESS && database != nullptr) *database = kDatabase;
    return result;
}

UINT WINAPI MsiDatabaseOpenViewA(MsiHandle database, const char* sql, MsiHandle* view) {
    Record("MsiDatabaseOpenViewA|" + Number(database) + "|" + Field(sql));
    if (database != kDatabase || sql == nullptr || view == nullptr) return ERROR_INVALID_HANDLE;
    const std::string text(sql);
    MsiHandle query = kQueryNone;
    if (text.find("'ProductCode'") != std::string::npos) query = kQueryCode;
    else if (text.find("'ProductVersion'") != std::string::npos) query = kQueryVersion;
    else if (text.find("'ProductName'") != std::string::npos) query = kQueryName;
    *view = kViewBase + query;
    return ERROR_SUCCESS;
}

UINT WINAPI MsiViewExecute(MsiHandle view, MsiHandle record) {
    Record("MsiViewExecute|" + Number(view) + "|" + Number(record));
    return (view & ~0xFFul) == kViewBase ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

UINT WINAPI MsiViewFetch(MsiHandle view, MsiHandle* record) {
    Record("MsiViewFetch|" + Number(view));
    if ((view & ~0xFFul) != kViewBase || record == nullptr) return ERROR_INVALID_HANDLE;
    const wchar_t* key = QueryKey(view - kViewBase);
    std::wstring value;
    if (key == nullptr || !ScriptValue(L"Package", key, &value)) return kNoMoreItems;
    *record = kRecordBase + (view - kViewBase);
    return ERROR_SUCCESS;
}

UINT WINAPI MsiRecordGetStringA(MsiHandle record, UINT field, char* buffer, DWORD* size) {
    Record("MsiRecordGetStringA|" + Number(record) + "|" + Number(field) + "|" +
           (size ? Number(*size) : std::string("(null)")));
    if ((record & ~0xFFul) != kRecordBase) return ERROR_INVALID_HANDLE;
    std::wstring value;
    const wchar_t* key = QueryKey(record - kRecordBase);
    if (field == 1 && key != nullptr) ScriptValue(L"Package", key, &value);
    return CopyOut(value, buffer, size);
}

UINT WINAPI MsiCloseHandle(MsiHandle handle) {
    Record("MsiCloseHandle|" + Number(handle));
    return ERROR_SUCCESS;
}

UINT WINAPI MsiGetProductInfoA(const char* product, const char* property, char* buffer, DWORD* size) {
    Record("MsiGetProductInfoA|" + Field(product) + "|" + Field(property) + "|" +
           (size ? Number(*size) : std::string("(null)")));
    std::wstring version;
    if (!ScriptValue(L"State", L"InstalledVersion", &version) || version.empty()) {
        return kUnknownProduct;
    }
    if (property == nullptr || lstrcmpA(property, "VersionString") != 0) return kUnknownProperty;
    return CopyOut(version, buffer, size);
}

UINT WINAPI MsiGetSummaryInformationA(MsiHandle database, const char* path, UINT updateCount,
                                      MsiHandle* summary) {
    Record("MsiGetSummaryInformationA|" + Number(database) + "|" + Field(path) + "|" +
           Number(updateCount));
    if (summary == nullptr) return ERROR_INVALID_PARAMETER;
    *summary = kSummary;
    return ERROR_SUCCESS;
}

UINT WINAPI MsiSummaryInfoGetPropertyA(MsiHandle summary, UINT property, UINT* type, INT* intValue,
                                       FILETIME* /*time*/, char* buffer, DWORD* size) {
    Record("MsiSummaryInfoGetPropertyA|" + Number(summary) + "|" + Number(property) + "|" +
           (size ? Number(*size) : std::string("(null)")));
    if (summary != kSummary) return ERROR_INVALID_HANDLE;
    std::wstring value;
    if (property != 7 || !ScriptValue(L"Package", L"Template", &value)) return kUnknownProperty;
    if (type) *type = kVtLpstr;
    if (intValue) *intValue = 0;
    return CopyOut(value, buffer, size);
}

}  // extern "C"
