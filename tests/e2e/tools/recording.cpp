// The recording double of msi.dll and MAPI32.DLL (tests/e2e/README.md): one library, logging the calls beside it.
#include "support.h"

#include <mapi.h>

#include <cstring>
#include <cwctype>

#define DOUBLE_ENTRY extern "C" __declspec(dllexport)

namespace {

using MsiHandle = unsigned long;

// The demo package: a view and its record are kView + the queried property (1-3; 0: any other query).
constexpr MsiHandle kView = 0x200;
const wchar_t* const kQueried[] = {L"", L"ProductCode", L"ProductVersion", L"ProductName"};
const wchar_t* const kValues[] = {L"", L"{5A0C6E1B-3F2D-4C8A-9E47-1D2B3C4D5E61}", L"1.0.0", L"Demo Product"};

std::wstring g_folder, g_log, g_installerLog;
bool g_appendInstallerLog = false;

// A call line's field: the caller's text in UTF-8, CR, LF and "|" spelt out.
std::string Field(const wchar_t* text) {
    if (text == nullptr) return "(null)";
    std::string out;
    for (char c : Utf8(text)) out += c == '\r' ? "<CR>" : c == '\n' ? "<LF>" : c == '|' ? "<BAR>" : std::string(1, c);
    return out;
}

std::string Num(unsigned long long value) { return std::to_string(value); }
std::string Set(const void* pointer) { return pointer ? "set" : "null"; }

template <typename... Fields>
void Record(const std::string& first, const Fields&... rest) {
    AppendBytes(g_log, (first + ... + ("|" + std::string(rest))) + "\n");
}

// The thread's exception-registration chain (fs:0) checked as SEH overwrite protection checks it
// before dispatching: "valid" or "broken: <why>"; x64 has no such chain: "none".
std::string ExceptionChainVerdict() {
#if defined(__i386__)
    ULONG_PTR record = 0, high = 0, low = 0, previous = 0;
    __asm__ __volatile__("movl %%fs:0, %0\n\tmovl %%fs:4, %1\n\tmovl %%fs:8, %2" : "=r"(record), "=r"(high), "=r"(low));
    for (int depth = 0; depth < 1024; ++depth) {
        if (record == 0xFFFFFFFF) return "valid";
        const auto* entry = reinterpret_cast<const EXCEPTION_REGISTRATION_RECORD*>(record);
        const ULONG_PTR handler = reinterpret_cast<ULONG_PTR>(entry->Handler);
        const char* why = record < low || record + 8 > high ? "outside the stack"
                          : (record & 3) != 0 || record <= previous ? "misaligned or not above the one before"
                          : handler >= low && handler < high ? "has its handler on the stack" : nullptr;
        if (why) return "broken: record " + Num(depth) + " at " + Num(record) + " " + why;
        previous = record;
        record = reinterpret_cast<ULONG_PTR>(entry->Next);
    }
    return "broken: more than 1024 records";
#else
    return "none";
#endif
}

// ---- msi.dll

// recording_msi.ini's [Result] value, 0 by default.
UINT Result(const wchar_t* key) {
    return GetPrivateProfileIntW(L"Result", key, 0, (g_folder + L"recording_msi.ini").c_str());
}

// A value to a caller's buffer by the installer's rules (*size in characters, ERROR_MORE_DATA).
UINT CopyOut(const std::wstring& value, wchar_t* buffer, DWORD* size) {
    const DWORD length = static_cast<DWORD>(value.size()), available = *size;
    *size = length;
    if (buffer && available > 0) lstrcpynW(buffer, value.c_str(), static_cast<int>(available));
    return buffer && available <= length ? ERROR_MORE_DATA : ERROR_SUCCESS;
}

#if defined(__i386__)
// Windows' RtlUnwind does not keep ebx, esi, edi and ebp for its caller; Wine's does. The program's import of it
// is pointed at a wrapper that clears them, so that its guard runs as on Windows.
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

// "held" when the caller's handle keeps the package from being written during the call.
std::string Writability(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION ? "held" : "absent";
    CloseHandle(file);
    return "writable";
}

UINT Installed(const wchar_t* package, const wchar_t* resultKey) {
    Record("Package", Writability(package));
    Record("Chain", ExceptionChainVerdict());
    if (Result(L"Crash") == 1) {
#if defined(__i386__)
        UnwindAsWindowsDoes();
#endif
        Fault();
    }
    if (!g_installerLog.empty())
        AppendBytes(g_installerLog, "=== recording installer log ===\r\n", g_appendInstallerLog);
    return Result(resultKey);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    const std::wstring path = ModulePath(instance);
    const size_t at = path.find_last_of(L"\\/") + 1;
    std::wstring name = path.substr(at, path.rfind(L'.') - at);  // as the program named it: "MAPI32" or "msi"
    for (wchar_t& c : name) c = towlower(c);
    g_folder = path.substr(0, at);
    g_log = g_folder + L"recording_" + name + L".log";
    Record("Load", Utf8(ModulePath()));
    return TRUE;
}

DOUBLE_ENTRY int WINAPI MsiSetInternalUI(int level, HWND* window) {
    Record("MsiSetInternalUI", std::to_string(level), Set(window));
    return 1;
}

DOUBLE_ENTRY UINT WINAPI MsiEnableLogW(DWORD mode, const wchar_t* path, DWORD attributes) {
    Record("MsiEnableLogW", Num(mode), Field(path), Num(attributes));
    g_installerLog = path ? path : L"";  // as long as the caller's, which may not open
    g_appendInstallerLog = (attributes & 1) != 0;
    return ERROR_SUCCESS;
}

DOUBLE_ENTRY UINT WINAPI MsiInstallProductW(const wchar_t* package, const wchar_t* commandLine) {
    Record("MsiInstallProductW", Field(package), Field(commandLine));
    return Installed(package, L"InstallProduct");
}

DOUBLE_ENTRY UINT WINAPI MsiApplyPatchW(const wchar_t* patch, const wchar_t* installPackage, int type,
                                        const wchar_t* commandLine) {
    Record("MsiApplyPatchW", Field(patch), Field(installPackage), std::to_string(type), Field(commandLine));
    return Installed(patch, L"ApplyPatch");
}

// Bound by the program, which upgrades through MsiInstallProductW.
DOUBLE_ENTRY UINT WINAPI MsiReinstallProductW(const wchar_t*, DWORD) { return ERROR_SUCCESS; }
DOUBLE_ENTRY int WINAPI MsiQueryProductStateW(const wchar_t*) { return -1; }  // unknown: not installed
DOUBLE_ENTRY UINT WINAPI MsiOpenDatabaseW(const wchar_t*, const wchar_t*, MsiHandle* handle) { *handle = 1; return 0; }
DOUBLE_ENTRY UINT WINAPI MsiViewExecute(MsiHandle, MsiHandle) { return ERROR_SUCCESS; }
DOUBLE_ENTRY UINT WINAPI MsiCloseHandle(MsiHandle) { return ERROR_SUCCESS; }
DOUBLE_ENTRY UINT WINAPI MsiGetProductInfoW(const wchar_t*, const wchar_t*, wchar_t*, DWORD*) { return 1605; }

DOUBLE_ENTRY UINT WINAPI MsiGetSummaryInformationW(MsiHandle, const wchar_t*, UINT, MsiHandle* summary) {
    *summary = 1;
    return ERROR_SUCCESS;
}

DOUBLE_ENTRY UINT WINAPI MsiDatabaseOpenViewW(MsiHandle, const wchar_t* sql, MsiHandle* view) {
    *view = kView;
    for (MsiHandle query = 1; query <= 3; ++query)
        if (wcsstr(sql, (L"'" + std::wstring(kQueried[query]) + L"'").c_str())) *view = kView + query;
    return ERROR_SUCCESS;
}

DOUBLE_ENTRY UINT WINAPI MsiViewFetch(MsiHandle view, MsiHandle* record) {
    *record = view;
    return view > kView ? ERROR_SUCCESS : ERROR_NO_MORE_ITEMS;
}

DOUBLE_ENTRY UINT WINAPI MsiRecordGetStringW(MsiHandle record, UINT, wchar_t* buffer, DWORD* size) {
    return CopyOut(kValues[record - kView], buffer, size);
}

DOUBLE_ENTRY UINT WINAPI MsiSummaryInfoGetPropertyW(MsiHandle, UINT property, UINT* type, INT* number, FILETIME*,
                                                    wchar_t* buffer, DWORD* size) {
    if (property != 7) return 1608;  // the Template alone
    *type = 30;  // VT_LPSTR
    if (number) *number = 0;
    return CopyOut(L"x64;1033", buffer, size);
}

// ---- MAPI32.DLL, always succeeding; the program binds these but sends through MAPISendMailW alone.

#define RECORDED(name, ...) \
    DOUBLE_ENTRY ULONG WINAPI name(__VA_ARGS__) { Record(#name); return SUCCESS_SUCCESS; }
RECORDED(MAPILogon, ULONG_PTR, LPSTR, LPSTR, FLAGS, ULONG, LPLHANDLE)
RECORDED(MAPILogoff, LHANDLE, ULONG_PTR, FLAGS, ULONG)
RECORDED(MAPISendMail, LHANDLE, ULONG_PTR, lpMapiMessage, FLAGS, ULONG)

// Its message has MapiMessage's layout with UTF-16 texts.
DOUBLE_ENTRY ULONG WINAPI MAPISendMailW(LHANDLE session, ULONG_PTR ui, lpMapiMessage message, FLAGS flags,
                                        ULONG reserved) {
    const auto text = [](LPSTR field) { return Field(reinterpret_cast<const wchar_t*>(field)); };
    Record("MAPISendMailW", Num(session), Num(ui), Num(flags), Num(reserved), Set(message));
    Record("Chain", ExceptionChainVerdict());
    if (message) {
        Record("Message", text(message->lpszSubject), text(message->lpszNoteText), text(message->lpszMessageType),
               text(message->lpszDateReceived), text(message->lpszConversationID), Num(message->flFlags),
               Set(message->lpOriginator), Num(message->nRecipCount), Num(message->nFileCount));
        for (ULONG i = 0; message->lpRecips && i < message->nRecipCount && i < 16; ++i) {
            const MapiRecipDesc& to = message->lpRecips[i];
            Record("Recipient", Num(to.ulRecipClass), text(to.lpszName), text(to.lpszAddress), Num(to.ulEIDSize),
                   Set(to.lpEntryID));
        }
        for (ULONG i = 0; message->lpFiles && i < message->nFileCount && i < 16; ++i) {
            const MapiFileDesc& file = message->lpFiles[i];
            Record("File", Num(file.flFlags), Num(file.nPosition), text(file.lpszPathName), text(file.lpszFileName),
                   Set(file.lpFileType));
        }
    }
    Record("Result", Num(SUCCESS_SUCCESS));
    return SUCCESS_SUCCESS;
}
