// A recording test double of MAPI32.DLL, the simple mail interface: it
// exports MAPILogon, MAPILogoff and MAPISendMail with their published
// signatures, records what each call receives and answers from a script.
// It sends nothing and opens no mail client. The entries are exported by
// the .def files: recording_mapi.def all three, recording_mapi_incomplete.def
// all but MAPILogoff (a library that lacks an entry).
//
// Both files lie beside this DLL (the prefix's system folder when a test
// installs it there):
//
//   recording_mapi.ini   the script, read afresh at every call
//     [Result]  SendMail: what MAPISendMail returns (default 0, success;
//               1 is MAPI_USER_ABORT); Logon, Logoff: likewise.
//     [Compose] Title: when set, MAPISendMail leaves a top-level window with
//               this title behind, shown without activation, standing in
//               for a mail client's compose window; its activation is
//               recorded.
//
//   recording_mapi.log   UTF-8 lines, fields separated by "|":
//     Load|<program path>                                (process attach)
//     MAPILogon|<ui param>|<profile>|<password>|<flags>|<reserved>
//     MAPILogoff|<session>|<ui param>|<flags>|<reserved>
//     MAPISendMail|<session>|<ui param>|<flags>|<reserved>|<message: null or set>
//     Chain|<verdict>   the thread's exception chain as SEH overwrite
//                       protection would judge it ("valid", "broken: ...",
//                       "none" on x64)
//     Message|<subject>|<note text>|<message type>|<date received>
//            |<conversation id>|<flags>|<originator: null or set>
//            |<recipient count>|<file count>
//     Recipient|<class>|<name>|<address>|<entry id size>|<entry id: null or set>
//     File|<flags>|<position>|<path>|<file name>|<file type: null or set>
//     Result|<the code returned>|<milliseconds since the system started>
//     Activated|<milliseconds since the system started>
//   One Recipient line per recipient and one File line per attachment
//   follow the Message line (at most 16 of each). Numbers are unsigned
//   decimals; a null string is written "(null)"; 8-bit texts are taken in
//   the ANSI code page; carriage return, line feed and "|" inside a field
//   are written <CR>, <LF> and <BAR>.
#include <windows.h>

#include "double_support.h"
#include <mapi.h>

#include <cwchar>
#include <string>

namespace {

constexpr ULONG kMaxListed = 16;

HMODULE g_self = nullptr;

std::wstring BesideSelf(const wchar_t* name) { return BesideModule(g_self, name); }

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r') out += "<CR>";
        else if (c == '\n') out += "<LF>";
        else if (c == '|') out += "<BAR>";
        else out += c;
    }
    return out;
}

// One field: an 8-bit text of the caller, in the ANSI code page.
std::string Text(const char* text) {
    if (text == nullptr) return "(null)";
    return Escape(Utf8(Widen(text, CP_ACP)));
}

std::string Set(const void* pointer) { return pointer ? "set" : "null"; }

std::string Number(unsigned long long value) { return std::to_string(value); }

void Record(const std::string& line) {
    HANDLE file = CreateFileW(BesideSelf(L"recording_mapi.log").c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string bytes = line + "\n";
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

ULONG ScriptResult(const wchar_t* key) {
    return static_cast<ULONG>(
        GetPrivateProfileIntW(L"Result", key, 0, BesideSelf(L"recording_mapi.ini").c_str()));
}

std::wstring ScriptText(const wchar_t* section, const wchar_t* key) {
    wchar_t buffer[512] = {};
    GetPrivateProfileStringW(section, key, L"", buffer, 512, BesideSelf(L"recording_mapi.ini").c_str());
    return buffer;
}

LRESULT CALLBACK ComposeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) {
        Record("Activated|" + Number(GetTickCount()));
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A window of the calling thread that outlives the call, as a mail
// client's compose window would; shown behind the others, not activated.
void LeaveComposeWindow(const std::wstring& title) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ComposeProcedure;
    windowClass.hInstance = g_self;
    windowClass.lpszClassName = L"RecordingMapiCompose";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW,
                                  20, 20, 320, 200, nullptr, nullptr, g_self, nullptr);
    if (window) ShowWindow(window, SW_SHOWNOACTIVATE);
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = instance;
        DisableThreadLibraryCalls(instance);
        wchar_t program[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
        Record("Load|" + Escape(Utf8(std::wstring(program, length))));
    }
    return TRUE;
}

ULONG WINAPI MAPILogon(ULONG_PTR uiParam, LPSTR profileName, LPSTR password,
                                             FLAGS flags, ULONG reserved, LPLHANDLE session) {
    Record("MAPILogon|" + Number(uiParam) + "|" + Text(profileName) + "|" + Text(password) + "|" +
           Number(flags) + "|" + Number(reserved));
    if (session) *session = 1;
    return ScriptResult(L"Logon");
}

ULONG WINAPI MAPILogoff(LHANDLE session, ULONG_PTR uiParam, FLAGS flags,
                                              ULONG reserved) {
    Record("MAPILogoff|" + Number(session) + "|" + Number(uiParam) + "|" + Number(flags) + "|" +
           Number(reserved));
    return ScriptResult(L"Logoff");
}

ULONG WINAPI MAPISendMail(LHANDLE session, ULONG_PTR uiParam,
                                                lpMapiMessage message, FLAGS flags, ULONG reserved) {
    Record("MAPISendMail|" + Number(session) + "|" + Number(uiParam) + "|" + Number(flags) + "|" +
           Number(reserved) + "|" + Set(message));
    Record("Chain|" + ExceptionChainVerdict());
    if (message) {
        Record("Message|" + Text(message->lpszSubject) + "|" + Text(message->lpszNoteText) + "|" +
               Text(message->lpszMessageType) + "|" + Text(message->lpszDateReceived) + "|" +
               Text(message->lpszConversationID) + "|" + Number(message->flFlags) + "|" +
               Set(message->lpOriginator) + "|" + Number(message->nRecipCount) + "|" +
               Number(message->nFileCount));
        for (ULONG i = 0; message->lpRecips && i < message->nRecipCount && i < kMaxListed; ++i) {
            const MapiRecipDesc& recipient = message->lpRecips[i];
            Record("Recipient|" + Number(recipient.ulRecipClass) + "|" + Text(recipient.lpszName) + "|" +
                   Text(recipient.lpszAddress) + "|" + Number(recipient.ulEIDSize) + "|" +
                   Set(recipient.lpEntryID));
        }
        for (ULONG i = 0; message->lpFiles && i < message->nFileCount && i < kMaxListed; ++i) {
            const MapiFileDesc& file = message->lpFiles[i];
            Record("File|" + Number(file.flFlags) + "|" + Number(file.nPosition) + "|" +
                   Text(file.lpszPathName) + "|" + Text(file.lpszFileName) + "|" + Set(file.lpFileType));
        }
    }
    const std::wstring title = ScriptText(L"Compose", L"Title");
    if (!title.empty()) LeaveComposeWindow(title);
    const ULONG result = ScriptResult(L"SendMail");
    Record("Result|" + Number(result) + "|" + Number(GetTickCount()));
    return result;
}

}  // extern "C"
