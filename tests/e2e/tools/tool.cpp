// tool.exe VERB ...: the end-to-end tests' helper program (tests/e2e/README.md).
#include "support.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <map>
#include <vector>

namespace {

// `handles`: its standard input, output and error.
bool Start(std::wstring line, bool inherit, PROCESS_INFORMATION* process, const HANDLE* handles = nullptr) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (handles) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = handles[0], startup.hStdOutput = handles[1], startup.hStdError = handles[2];
    }
    return CreateProcessW(nullptr, &line[0], nullptr, nullptr, inherit, 0, nullptr, nullptr, &startup, process);
}

DWORD ExitCodeAtEnd(HANDLE process) {
    DWORD code = 0;
    WaitForSingleObject(process, INFINITE);
    GetExitCodeProcess(process, &code);
    return code;
}

// ---- watch: message boxes as they come and go, a process's dialogs on "list PID"
CRITICAL_SECTION g_output;

void Emit(const std::string& line) {
    EnterCriticalSection(&g_output);
    std::puts(line.c_str());
    std::fflush(stdout);
    LeaveCriticalSection(&g_output);
}

std::string Json(const std::wstring& text) {
    std::string out = "\"";
    for (wchar_t c : text) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c) & 0xFFFF);
        out += c >= 0x20 && c < 0x7F && c != '"' && c != '\\' ? std::string(1, static_cast<char>(c)) : escaped;
    }
    return out + "\"";
}

std::string Json(const RECT& r) {
    char text[80];
    std::snprintf(text, sizeof text, "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right, r.bottom);
    return text;
}

std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : ",") + item;
    return out;
}

std::string Flag(bool value) { return value ? "true" : "false"; }
std::string Num(HWND window) { return std::to_string(reinterpret_cast<uintptr_t>(window)); }
std::string XWindow(HWND window) { return Num(static_cast<HWND>(GetPropW(window, L"__wine_x11_whole_window"))); }

// With a time limit: a busy dialog cannot stop the watcher.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<LRESULT>(result);
}

// A window's text; `stored`: read without a message to its thread (a message box's may be busy still).
std::wstring Text(HWND window, bool stored = false) {
    const LRESULT length = stored ? GetWindowTextLengthW(window) : Send(window, WM_GETTEXTLENGTH, 0, 0);
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 2);
    if (stored) GetWindowTextW(window, buffer.data(), static_cast<int>(buffer.size()));
    else Send(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return buffer.data();
}

bool IsClass(HWND window, const wchar_t* name) {
    wchar_t found[32] = {};
    return GetClassNameW(window, found, 32) && lstrcmpiW(found, name) == 0;
}

RECT Rect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

// The dialogs on the screen, message boxes included.
std::vector<HWND> Dialogs() {
    std::vector<HWND> found;
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, L"#32770", nullptr)) != nullptr;)
        if (IsWindowVisible(window)) found.push_back(window);
    return found;
}

DWORD Pid(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

// A list view's rows. Its item messages carry pointers into the dialog's process: into a section mapped into both
// (under the x86 emulation Read/WriteProcessMemory reach the wrong place).
struct Shared {
    LVITEMW item;
    RECT rect;
    wchar_t text[1024];
};

void (*Ntdll(const char* name))() {
    return reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name));
}

std::string Rows(HWND list) {
    const auto map = reinterpret_cast<LONG(NTAPI*)(HANDLE, HANDLE, PVOID*, ULONG_PTR, SIZE_T, PLARGE_INTEGER, PSIZE_T,
                                                   DWORD, ULONG, ULONG)>(Ntdll("NtMapViewOfSection"));
    const auto unmap = reinterpret_cast<LONG(NTAPI*)(HANDLE, PVOID)>(Ntdll("NtUnmapViewOfSection"));
    HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Shared), nullptr);
    auto* here = static_cast<Shared*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 0));
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION, FALSE, Pid(list));
    char* there = nullptr;  // the dialog's address of the section
    SIZE_T size = 0;
    const bool mapped = here && map(section, process, reinterpret_cast<PVOID*>(&there), 0, 0, nullptr, &size,
                                    2 /* ViewUnmap */, 0, PAGE_READWRITE) >= 0;
    auto at = [&](const void* field) {
        return reinterpret_cast<LPARAM>(there + (static_cast<const char*>(field) - reinterpret_cast<char*>(here)));
    };
    std::vector<std::string> rows;
    for (int i = 0; mapped && i < static_cast<int>(Send(list, LVM_GETITEMCOUNT, 0, 0)); ++i) {
        *here = {};
        here->item.mask = LVIF_TEXT | LVIF_IMAGE, here->item.iItem = i, here->item.cchTextMax = 1023;
        here->item.pszText = reinterpret_cast<LPWSTR>(at(here->text));
        Send(list, LVM_GETITEMW, 0, at(&here->item));
        std::string row = "{\"text\":" + Json(here->text) + ",\"image\":" + std::to_string(here->item.iImage);
        for (int part : {LVIR_ICON, LVIR_LABEL}) {
            here->rect = {part, 0, 0, 0};
            Send(list, LVM_GETITEMRECT, static_cast<WPARAM>(i), at(&here->rect));
            MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&here->rect), 2);
            row += (part == LVIR_ICON ? ",\"icon\":" : ",\"label\":") + Json(here->rect);
        }
        rows.push_back(row + "}");
    }
    if (mapped) unmap(process, there);
    if (here) UnmapViewOfFile(here);
    CloseHandle(process);
    CloseHandle(section);
    return ",\"selection\":" + std::to_string(static_cast<int>(Send(list, LVM_GETSELECTIONMARK, 0, 0))) +
           ",\"rows\":[" + Joined(rows) + "]";
}

std::string Dialog(HWND window) {
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    const bool focused = GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui) && IsChild(window, gui.hwndFocus);
    RECT client = {};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    std::vector<std::string> controls;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        controls.push_back("\"" + std::to_string(GetDlgCtrlID(child)) + "\":{\"text\":" + Json(Text(child)) +
                           ",\"rect\":" + Json(Rect(child)) + ",\"visible\":" + Flag(IsWindowVisible(child)) +
                           (IsClass(child, WC_LISTVIEWW) ? Rows(child) : "") + "}");
    return "{\"hwnd\":" + Num(window) + ",\"owner\":" + Num(GetWindow(window, GW_OWNER)) + ",\"caption\":" +
           Json(Text(window)) + ",\"enabled\":" + Flag(IsWindowEnabled(window)) + ",\"client\":" + Json(client) +
           ",\"focus\":" + std::to_string(focused ? GetDlgCtrlID(gui.hwndFocus) : 0) + ",\"x_window\":" + XWindow(window) +
           ",\"controls\":{" + Joined(controls) + "}}";
}

DWORD WINAPI AnswerLists(LPVOID) {
    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {  // "list PID"
        std::vector<std::string> dialogs;
        for (HWND window : Dialogs())
            if (Pid(window) == std::strtoul(line + 4, nullptr, 10)) dialogs.push_back(Dialog(window));
        Emit("{\"dialogs\":[" + Joined(dialogs) + "]}");
    }
    ExitProcess(0);  // the bench closed the pipe
}

// A message box (a dialog with the static control 0xFFFF) is reported once filled in (slow under emulation), or
// after 3 s as it is.
int Watch() {
    InitializeCriticalSection(&g_output);
    CloseHandle(CreateThread(nullptr, 0, AnswerLists, nullptr, 0, nullptr));
    Emit("{\"ready\":true}");
    std::map<HWND, DWORD> appeared;  // when each box on the screen was first seen
    std::vector<HWND> reported;
    for (;; Sleep(50)) {
        std::vector<HWND> boxes;
        for (HWND window : Dialogs()) {
            HWND text = GetDlgItem(window, 0xFFFF), icon = GetDlgItem(window, 1088);
            if (!text) continue;
            boxes.push_back(window);
            if (std::find(reported.begin(), reported.end(), window) != reported.end()) continue;
            const bool hasIcon = icon && IsWindowVisible(icon) && Send(icon, STM_GETICON, 0, 0);
            const bool filled = GetWindowTextLengthW(window) && GetWindowTextLengthW(text) && hasIcon;
            if (!filled && GetTickCount() - appeared.emplace(window, GetTickCount()).first->second < 3000) continue;
            reported.push_back(window);
            std::vector<std::string> buttons;
            for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
                if (IsClass(child, L"Button") && IsWindowVisible(child)) buttons.push_back(std::to_string(GetDlgCtrlID(child)));
            Emit("{\"shown\":" + Num(window) + ",\"pid\":" + std::to_string(Pid(window)) + ",\"caption\":" +
                 Json(Text(window, true)) + ",\"text\":" + Json(Text(text, true)) + ",\"buttons\":[" + Joined(buttons) +
                 "],\"x_window\":" + XWindow(window) + ",\"icon\":" + Flag(hasIcon) + "}");
        }
        for (size_t i = reported.size(); i-- > 0;) {
            if (std::find(boxes.begin(), boxes.end(), reported[i]) != boxes.end()) continue;
            Emit("{\"gone\":" + Num(reported[i]) + "}");
            appeared.erase(reported[i]);
            reported.erase(reported.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

// start LINE: the child's full exit code (a Unix status keeps 8 bits).
int StartAndWait(const wchar_t* line) {
    PROCESS_INFORMATION process = {};
    if (!Start(line, true, &process)) {
        std::fprintf(stderr, "tool.exe: CreateProcess failed, error %lu\n", GetLastError());
        return 255;
    }
    std::fprintf(stderr, "started process %lu\n", process.dwProcessId);
    std::fflush(stderr);
    const DWORD code = ExitCodeAtEnd(process.hProcess);
    std::printf("%lu\n", code);
    return static_cast<int>(code);
}

// A process that outlives this one, inheriting every handle it can.
bool LeaveProcessBehind() {
    const HANDLE handles[] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE),
                              GetStdHandle(STD_ERROR_HANDLE)};
    PROCESS_INFORMATION process = {};
    return Start(L"\"" + ModulePath() + L"\" sleep 600", true, &process, handles);
}

const char kMappingText[] = "the starting tool's mapping";

DWORD WINAPI ReadToEnd(LPVOID pipe) {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr)) {}
    return 0;
}

// inherit MARKER LINE: as a deployment tool does, with an inheritable pipe and file mapping.
int Inherit(const wchar_t* marker, const wchar_t* line) {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, &inheritable, PAGE_READWRITE, 0, 4096, nullptr);
    lstrcpyA(static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0)), kMappingText);
    SetEnvironmentVariableW(L"SETUP_TEST_MAPPING", std::to_wstring(reinterpret_cast<uintptr_t>(mapping)).c_str());
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, &inheritable, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    const HANDLE handles[] = {nullptr, writeEnd, writeEnd};
    PROCESS_INFORMATION process = {};
    if (!Start(line, true, &process, handles)) return 255;
    CloseHandle(writeEnd);
    const DWORD code = ExitCodeAtEnd(process.hProcess);
    const bool ended = WaitForSingleObject(CreateThread(nullptr, 0, ReadToEnd, readEnd, 0, nullptr), 10000) == 0;
    AppendBytes(marker, "exit code " + std::to_string(code) + (ended ? ", output ended\r\n" : ", output still open\r\n"));
    return static_cast<int>(code);
}

// inherited MARKER: whether the mapping of "inherit" is reachable here.
int Inherited(const wchar_t* marker) {
    wchar_t value[32] = {};
    GetEnvironmentVariableW(L"SETUP_TEST_MAPPING", value, 32);
    HANDLE mapping = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::wcstoull(value, nullptr, 10)));
    const char* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    AppendBytes(marker, view && lstrcmpA(view, kMappingText) == 0 ? "held\r\n" : "absent\r\n");
    return LeaveProcessBehind() ? 0 : 253;
}

// race FROM TO MARKER LINE: FROM written over TO once LINE has read it (relatime updates the last access, set back
// to 2001), as a program watching the media could.
int Race(const wchar_t* from, const wchar_t* to, const wchar_t* marker, const wchar_t* line) {
    const SYSTEMTIME old = {2001, 1, 1, 1, 0, 0, 0, 0};
    FILETIME access = {};
    SystemTimeToFileTime(&old, &access);
    HANDLE file = CreateFileW(to, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, nullptr, &access, nullptr);
    CloseHandle(file);
    PROCESS_INFORMATION process = {};
    if (!Start(line, false, &process)) return 255;
    auto ended = [&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; };
    WIN32_FILE_ATTRIBUTE_DATA seen = {};
    bool read = false, replaced = false;
    for (bool last = false; !read && !last;) {
        last = ended();
        read = GetFileAttributesExW(to, GetFileExInfoStandard, &seen) && CompareFileTime(&seen.ftLastAccessTime, &access);
    }
    for (bool last = !read; !replaced && !last;) {
        last = ended();
        replaced = CopyFileW(from, to, FALSE);
    }
    AppendBytes(marker, std::string(replaced ? "replaced" : read ? "not replaced" : "never read") + "\r\n");
    return static_cast<int>(ExitCodeAtEnd(process.hProcess));
}

// print CODE MODE VALUE: a condition program; its output in pieces a pipe takes.
bool Print(const std::wstring& mode, const wchar_t* value) {
    std::string out;
    if (mode == L"hex") {
        for (size_t i = 0; value[i] && value[i + 1]; i += 2)
            out += static_cast<char>(std::wcstoul(std::wstring(value + i, 2).c_str(), nullptr, 16));
    } else if (mode == L"bytes") {
        for (unsigned long i = 0, n = std::wcstoul(value, nullptr, 10); i < n; ++i) out += static_cast<char>('0' + i % 10);
    } else {
        out = Utf8(value);
        char buffer[256];
        DWORD got = 0;
        while (mode == L"read" && ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got) {
        }
        if (mode == L"child" && !LeaveProcessBehind()) return false;
    }
    DWORD written = 0;
    for (size_t done = 0; done < out.size(); done += written) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(out.size() - done, 4096));
        if (!WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data() + done, chunk, &written, nullptr) || !written) break;
    }
    return true;
}

LONG WINAPI EndQuietly(EXCEPTION_POINTERS*) { return EXCEPTION_EXECUTE_HANDLER; }

}  // namespace

int main() {
    const std::wstring self = ModulePath();
    // Under another name (a planted msiexec.exe): its path and command line to "<its path>.started".
    if (lstrcmpiW(self.substr(self.find_last_of(L"\\/") + 1).c_str(), L"tool.exe") != 0) {
        AppendBytes(self + L".started", Utf8(self + L" | " + GetCommandLineW() + L"\r\n"));
        return 0;
    }
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::wstring verb = count > 1 ? argv[1] : L"";
    const int code = count > 2 ? static_cast<int>(std::wcstoul(argv[2], nullptr, 10)) : 0;
    if (verb == L"start" && count == 3) return StartAndWait(argv[2]);
    if (verb == L"watch") return Watch();
    if (verb == L"exit") {  // exit CODE [MARKER]: a component installer
        if (count > 3) AppendBytes(argv[3], Utf8(std::wstring(GetCommandLineW()) + L"\r\n"));
        return code;
    }
    if (verb == L"print" && count == 5) return Print(argv[3], argv[4]) ? code : 253;
    if (verb == L"inherit" && count == 4) return Inherit(argv[2], argv[3]);
    if (verb == L"inherited" && count == 3) return Inherited(argv[2]);
    if (verb == L"race" && count == 6) return Race(argv[2], argv[3], argv[4], argv[5]);
    if (verb == L"crash") {  // ends at once with the exception code: no debugger, no crash report
        SetUnhandledExceptionFilter(EndQuietly);
        Fault();
    }
    if (verb == L"load" && count == 3) return LoadLibraryW(argv[2]) ? 0 : 1;
    if (verb == L"sleep" && count == 3) Sleep(static_cast<DWORD>(code) * 1000);
    return verb == L"sleep" ? 0 : 255;
}
