// A recording test double of msi.dll (tests/e2e/README.md: its script and call lines).
#include "double_support.h"

#include <cstdlib>
#include <cstring>

namespace {

using MsiHandle = unsigned long;

// A view and its record are handles of the queried property (1-3; 0 for any other query). The runs through
// Wine's own msi.dll check how the program uses the handles.
constexpr MsiHandle kView = 0x200;
const char* const kQueried[] = {"", "ProductCode", "ProductVersion", "ProductName"};

std::wstring g_installerLog;
DWORD g_installerLogAttributes = 0;

// A script value; false when the key is absent.
bool Script(const wchar_t* section, const char* key, std::wstring* value) {
    wchar_t buffer[1024] = {};
    GetPrivateProfileStringW(section, Wide(key).c_str(), L"\x01", buffer, 1024, Beside(L"recording_msi.ini").c_str());
    *value = buffer;
    return *value != L"\x01";
}

int ScriptInt(const wchar_t* section, const char* key, int fallback) {
    std::wstring value;
    return Script(section, key, &value) && !value.empty() ? static_cast<int>(wcstol(value.c_str(), nullptr, 0)) : fallback;
}

// A value to a caller's buffer by the installer's rules (*size in characters, ERROR_MORE_DATA).
UINT CopyOut(const std::wstring& value, wchar_t* buffer, DWORD* size) {
    const DWORD length = static_cast<DWORD>(value.size()), available = *size;
    *size = length;
    if (buffer == nullptr) return ERROR_SUCCESS;
    if (available <= length) {
        if (available > 0) lstrcpynW(buffer, value.c_str(), static_cast<int>(available));
        return ERROR_MORE_DATA;
    }
    memcpy(buffer, value.c_str(), (length + 1) * sizeof(wchar_t));
    return ERROR_SUCCESS;
}

#if defined(__i386__)
// Windows' RtlUnwind does not keep ebx, esi, edi and ebp for its caller; Wine's does. The program's
// import of it is pointed at a wrapper that clears them, so that its guard runs as on Windows.
extern "C" {
void* g_realRtlUnwind = nullptr;
void __stdcall ClearingRtlUnwind(void*, void*, void*, void*);
}
__asm__(".text\n.globl _ClearingRtlUnwind@16\n_ClearingRtlUnwind@16:\n"
        "    pushl 16(%esp)\n    pushl 16(%esp)\n    pushl 16(%esp)\n    pushl 16(%esp)\n"  // its four arguments
        "    call *_g_realRtlUnwind\n"
        "    xorl %ebx, %ebx\n    xorl %esi, %esi\n    xorl %edi, %edi\n    xorl %ebp, %ebp\n"
        "    ret $16\n");

void UnwindAsWindowsDoes() {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name; ++d) {
        auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
        for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk); name->u1.AddressOfData; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) ||
                strcmp(reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData)->Name, "RtlUnwind") != 0)
                continue;
            DWORD protection = 0;
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &protection);
            g_realRtlUnwind = reinterpret_cast<void*>(slot->u1.Function);
            slot->u1.Function = reinterpret_cast<ULONG_PTR>(&ClearingRtlUnwind);
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
            Record("RtlUnwind|clears ebx, esi, edi, ebp");
        }
    }
}
#endif

// "held" when a handle of the caller keeps the package from being written during the call.
std::string Writability(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION ? "held" : "absent";
    CloseHandle(file);
    return "writable";
}

UINT Installed(const wchar_t* package, const char* resultKey) {
    Record("Package", Writability(package));
    Record("Chain", ExceptionChainVerdict());
    if (ScriptInt(L"Result", "Crash", 0) == 1) {
#if defined(__i386__)
        UnwindAsWindowsDoes();
#endif
        Fault();
    }
    if (!g_installerLog.empty())
        AppendBytes(g_installerLog, "=== recording installer log ===\r\n", (g_installerLogAttributes & 1) != 0);
    return static_cast<UINT>(ScriptInt(L"Result", resultKey, 0));
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) RecordLoad(instance, L"recording_msi.log");
    return TRUE;
}

DOUBLE_ENTRY int WINAPI MsiSetInternalUI(int level, HWND* window) {
    Record("MsiSetInternalUI", std::to_string(level), window ? "set" : "null");
    return 1;
}

DOUBLE_ENTRY UINT WINAPI MsiEnableLogW(DWORD mode, const wchar_t* path, DWORD attributes) {
    Record("MsiEnableLogW", Num(mode), Field(path), Num(attributes));
    g_installerLog = path ? path : L"";  // as long as the caller's, which may not open
    g_installerLogAttributes = attributes;
    return ERROR_SUCCESS;
}

DOUBLE_ENTRY UINT WINAPI MsiInstallProductW(const wchar_t* package, const wchar_t* commandLine) {
    Record("MsiInstallProductW", Field(package), Field(commandLine));
    return Installed(package, "InstallProduct");
}

DOUBLE_ENTRY UINT WINAPI MsiApplyPatchW(const wchar_t* patch, const wchar_t* installPackage, int type,
                                        const wchar_t* commandLine) {
    Record("MsiApplyPatchW", Field(patch), Field(installPackage), std::to_string(type), Field(commandLine));
    return Installed(patch, "ApplyPatch");
}

// Bound by the program, which upgrades through MsiInstallProductW.
DOUBLE_ENTRY UINT WINAPI MsiReinstallProductW(const wchar_t*, DWORD) { return ERROR_SUCCESS; }

DOUBLE_ENTRY int WINAPI MsiQueryProductStateW(const wchar_t*) {
    return ScriptInt(L"State", "ProductState", -1);
}

DOUBLE_ENTRY UINT WINAPI MsiOpenDatabaseW(const wchar_t*, const wchar_t*, MsiHandle* database) {
    *database = 1;
    return ERROR_SUCCESS;
}

DOUBLE_ENTRY UINT WINAPI MsiDatabaseOpenViewW(MsiHandle, const wchar_t* sql, MsiHandle* view) {
    *view = kView;
    for (MsiHandle query = 1; query <= 3; ++query)
        if (wcsstr(sql, (L"'" + Wide(kQueried[query]) + L"'").c_str())) *view = kView + query;
    return ERROR_SUCCESS;
}

DOUBLE_ENTRY UINT WINAPI MsiViewExecute(MsiHandle, MsiHandle) { return ERROR_SUCCESS; }

DOUBLE_ENTRY UINT WINAPI MsiViewFetch(MsiHandle view, MsiHandle* record) {
    std::wstring value;
    *record = view;
    return view > kView && Script(L"Package", kQueried[view - kView], &value) ? ERROR_SUCCESS : ERROR_NO_MORE_ITEMS;
}

DOUBLE_ENTRY UINT WINAPI MsiRecordGetStringW(MsiHandle record, UINT, wchar_t* buffer, DWORD* size) {
    std::wstring value;
    Script(L"Package", kQueried[record - kView], &value);
    return CopyOut(value, buffer, size);
}

DOUBLE_ENTRY UINT WINAPI MsiCloseHandle(MsiHandle) { return ERROR_SUCCESS; }

DOUBLE_ENTRY UINT WINAPI MsiGetProductInfoW(const wchar_t*, const wchar_t* property, wchar_t* buffer, DWORD* size) {
    std::wstring version;
    if (!Script(L"State", "InstalledVersion", &version) || version.empty()) return 1605;  // unknown product
    if (!property || lstrcmpW(property, L"VersionString") != 0) return 1608;               // unknown property
    return size ? CopyOut(version, buffer, size) : ERROR_INVALID_PARAMETER;
}

DOUBLE_ENTRY UINT WINAPI MsiGetSummaryInformationW(MsiHandle, const wchar_t*, UINT, MsiHandle* summary) {
    *summary = 1;
    return ERROR_SUCCESS;
}

DOUBLE_ENTRY UINT WINAPI MsiSummaryInfoGetPropertyW(MsiHandle, UINT property, UINT* type, INT* number, FILETIME*,
                                                    wchar_t* buffer, DWORD* size) {
    std::wstring value;
    if (property != 7 || !Script(L"Package", "Template", &value)) return 1608;
    *type = 30;  // VT_LPSTR
    if (number) *number = 0;
    return CopyOut(value, buffer, size);
}
