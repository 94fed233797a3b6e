// dialogprobe.exe
//
// Reads the dialogs on the desktop of the Wine prefix (or Windows session)
// it runs in, for tests that drive a program's dialogs as a person would
// and then check what the person would see: captions, control texts,
// positions, which control has the focus, and the rows of a list view with
// their item images.
//
// It answers commands, one per line on standard input, with one line of
// JSON on standard output (characters outside printable ASCII written as
// \uXXXX, so that the reader gets the exact UTF-16 text back):
//
//   (at start)    {"event":"ready"}
//   list          {"windows":[WINDOW,...]}   every visible top-level dialog
//                                            (window class #32770)
//   list PID      the same, only the dialogs of process PID
//
//   WINDOW   {"hwnd":N,"pid":N,"owner":N,"caption":"...","enabled":B,
//             "rect":[l,t,r,b],"client":[l,t,r,b],"x_window":N,
//             "focus":N,"controls":[CONTROL,...]}
//   CONTROL  {"id":N,"class":"...","text":"...","rect":[l,t,r,b],
//             "visible":B,"enabled":B,"style":N}
//            and for a list view also
//             "items":[{"text":"...","image":N,"icon":[l,t,r,b],
//                       "label":[l,t,r,b]},...],"selection_mark":N
//
// Rectangles are in screen coordinates; "client" is the client area.
// "owner" is the owner window (0: none); "focus" the control identifier of
// the window that has the keyboard focus in the dialog's thread (0: none,
// or a window outside the dialog); "x_window" the X window that Wine made
// for the dialog (0 when unknown). A list view's rows are read through
// memory allocated in the dialog's process, as a list view's item messages
// carry pointers. The program ends at end of file on standard input.
#include <windows.h>

#include "window_text.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// How long the probe waits for a busy dialog to answer one message.
constexpr UINT kMessageTimeoutMs = 2000;
constexpr SIZE_T kRemoteSize = 4096;
constexpr int kRemoteTextOffset = 1024;
constexpr int kTextCapacity = (static_cast<int>(kRemoteSize) - kRemoteTextOffset) / 2;

void AppendRect(std::string* out, const RECT& rect) {
    char text[96];
    std::snprintf(text, sizeof text, "[%ld,%ld,%ld,%ld]", static_cast<long>(rect.left),
                  static_cast<long>(rect.top), static_cast<long>(rect.right),
                  static_cast<long>(rect.bottom));
    out->append(text);
}

std::string Number(unsigned long long value) { return std::to_string(value); }

std::string Handle(HWND window) { return Number(reinterpret_cast<uintptr_t>(window)); }

// The text through WM_GETTEXT with a time limit, so that a dialog whose
// thread is busy cannot stop the probe.
std::wstring WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                             &length))
        return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 2, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &got))
        return std::wstring();
    return std::wstring(buffer.data(), got < buffer.size() ? static_cast<size_t>(got) : 0);
}

RECT ScreenRect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

RECT ClientScreenRect(HWND window) {
    RECT rect = {};
    GetClientRect(window, &rect);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Memory in another process for the list view's item messages.
class RemoteBuffer {
public:
    explicit RemoteBuffer(DWORD pid) {
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                   PROCESS_QUERY_INFORMATION,
                               FALSE, pid);
        if (process_) {
            base_ = static_cast<char*>(
                VirtualAllocEx(process_, nullptr, kRemoteSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        }
    }
    ~RemoteBuffer() {
        if (base_) VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool ok() const { return base_ != nullptr; }
    char* at(size_t offset) const { return base_ + offset; }
    bool Write(size_t offset, const void* data, size_t size) const {
        SIZE_T done = 0;
        return WriteProcessMemory(process_, base_ + offset, data, size, &done) && done == size;
    }
    bool Read(size_t offset, void* data, size_t size) const {
        SIZE_T done = 0;
        return ReadProcessMemory(process_, base_ + offset, data, size, &done) && done == size;
    }

private:
    HANDLE process_ = nullptr;
    char* base_ = nullptr;
};

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    DWORD_PTR value = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                             &value))
        return false;
    *result = static_cast<LRESULT>(value);
    return true;
}

// One part of an item's rectangle (LVIR_ICON, LVIR_LABEL), on the screen.
bool ItemRect(HWND list, const RemoteBuffer& remote, int item, int part, RECT* rect) {
    RECT request = {};
    request.left = part;
    LRESULT ok = 0;
    if (!remote.Write(0, &request, sizeof request) ||
        !Send(list, LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(remote.at(0)),
              &ok) ||
        !ok || !remote.Read(0, rect, sizeof *rect))
        return false;
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(rect), 2);
    return true;
}

void AppendListItems(std::string* out, HWND list) {
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    RemoteBuffer remote(pid);
    LRESULT count = 0;
    if (!remote.ok() || !Send(list, LVM_GETITEMCOUNT, 0, 0, &count)) {
        out->append(",\"items\":null");
        return;
    }
    out->append(",\"items\":[");
    for (int i = 0; i < static_cast<int>(count); ++i) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = i;
        item.pszText = reinterpret_cast<LPWSTR>(remote.at(kRemoteTextOffset));
        item.cchTextMax = kTextCapacity;
        std::vector<wchar_t> text(static_cast<size_t>(kTextCapacity), L'\0');
        LRESULT ok = 0;
        bool read = remote.Write(kRemoteTextOffset, text.data(), text.size() * sizeof(wchar_t)) &&
                    remote.Write(0, &item, sizeof item) &&
                    Send(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.at(0)), &ok) && ok &&
                    remote.Read(0, &item, sizeof item) &&
                    remote.Read(kRemoteTextOffset, text.data(), text.size() * sizeof(wchar_t));
        if (i) out->push_back(',');
        if (!read) {
            out->append("null");
            continue;
        }
        text.back() = L'\0';
        out->append("{\"text\":");
        AppendJsonString(out, std::wstring(text.data()));
        out->append(",\"image\":" + std::to_string(item.iImage));
        RECT icon = {}, label = {};
        out->append(",\"icon\":");
        if (ItemRect(list, remote, i, LVIR_ICON, &icon)) AppendRect(out, icon); else out->append("null");
        out->append(",\"label\":");
        if (ItemRect(list, remote, i, LVIR_LABEL, &label)) AppendRect(out, label); else out->append("null");
        out->push_back('}');
    }
    out->push_back(']');
    LRESULT mark = -1;
    Send(list, LVM_GETSELECTIONMARK, 0, 0, &mark);
    out->append(",\"selection_mark\":" + std::to_string(static_cast<long long>(mark)));
}

struct Controls {
    std::string json;
    bool first = true;
    HWND dialog = nullptr;
};

BOOL CALLBACK VisitChild(HWND child, LPARAM param) {
    Controls* controls = reinterpret_cast<Controls*>(param);
    // Direct children only: a list view's header is not a control of the dialog.
    if (GetAncestor(child, GA_PARENT) != controls->dialog) return TRUE;
    std::string& out = controls->json;
    if (!controls->first) out.push_back(',');
    controls->first = false;
    const std::wstring cls = ClassName(child);
    out.append("{\"id\":" + std::to_string(GetDlgCtrlID(child)) + ",\"class\":");
    AppendJsonString(&out, cls);
    out.append(",\"text\":");
    AppendJsonString(&out, WindowText(child));
    out.append(",\"rect\":");
    AppendRect(&out, ScreenRect(child));
    out.append(std::string(",\"visible\":") + (IsWindowVisible(child) ? "true" : "false"));
    out.append(std::string(",\"enabled\":") + (IsWindowEnabled(child) ? "true" : "false"));
    out.append(",\"style\":" + Number(static_cast<unsigned long>(GetWindowLongW(child, GWL_STYLE))));
    if (lstrcmpiW(cls.c_str(), WC_LISTVIEWW) == 0) AppendListItems(&out, child);
    out.push_back('}');
    return TRUE;
}

struct Scan {
    DWORD pid = 0;  // 0: every process
    std::string json;
    bool first = true;
};

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM param) {
    Scan* scan = reinterpret_cast<Scan*>(param);
    if (!IsWindowVisible(window) || ClassName(window) != L"#32770") return TRUE;
    DWORD pid = 0;
    const DWORD thread = GetWindowThreadProcessId(window, &pid);
    if (scan->pid != 0 && pid != scan->pid) return TRUE;

    std::string& out = scan->json;
    if (!scan->first) out.push_back(',');
    scan->first = false;
    out.append("{\"hwnd\":" + Handle(window) + ",\"pid\":" + Number(pid));
    out.append(",\"owner\":" + Handle(GetWindow(window, GW_OWNER)));
    out.append(",\"caption\":");
    AppendJsonString(&out, WindowText(window));
    out.append(std::string(",\"enabled\":") + (IsWindowEnabled(window) ? "true" : "false"));
    out.append(",\"rect\":");
    AppendRect(&out, ScreenRect(window));
    out.append(",\"client\":");
    AppendRect(&out, ClientScreenRect(window));
    out.append(",\"x_window\":" +
               Number(reinterpret_cast<uintptr_t>(GetPropW(window, L"__wine_x11_whole_window"))));
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    int focus = 0;
    if (GetGUIThreadInfo(thread, &gui) && gui.hwndFocus && IsChild(window, gui.hwndFocus))
        focus = GetDlgCtrlID(gui.hwndFocus);
    out.append(",\"focus\":" + std::to_string(focus));

    Controls controls;
    controls.dialog = window;
    EnumChildWindows(window, VisitChild, reinterpret_cast<LPARAM>(&controls));
    out.append(",\"controls\":[" + controls.json + "]}");
    return TRUE;
}

void Emit(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

int main() {
    Emit("{\"event\":\"ready\"}");
    char line[256];
    while (std::fgets(line, sizeof line, stdin)) {
        std::string command(line);
        while (!command.empty() && (command.back() == '\n' || command.back() == '\r'))
            command.pop_back();
        if (command.rfind("list", 0) != 0) {
            Emit("{\"error\":\"unknown command\"}");
            continue;
        }
        Scan scan;
        if (command.size() > 5) scan.pid = static_cast<DWORD>(std::strtoul(command.c_str() + 5, nullptr, 10));
        EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&scan));
        Emit("{\"windows\":[" + scan.json + "]}");
    }
    return 0;
}
