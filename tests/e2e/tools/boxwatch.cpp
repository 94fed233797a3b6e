// boxwatch.exe
//
// Watches the desktop of the Wine prefix (or Windows session) it runs in
// and reports every message box as it appears, for tests that must read a
// box's whole text: a debug trace of the box cuts long texts short.
//
// Standard output gets one line per event, in JSON with every character
// outside printable ASCII written as \uXXXX, so that the reader gets the
// exact UTF-16 text back:
//
//   {"event":"ready"}
//   {"event":"shown","hwnd":N,"pid":N,"caption":"...","text":"...",
//    "buttons":[1,2,...],"icon":true}
//   {"event":"gone","hwnd":N}
//
// "text" is the box's message control, "buttons" the identifiers of its
// push buttons (IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7, ...), "icon" whether
// it shows an icon. The program ends when its standard input reaches end of
// file (the test closes the pipe) or is closed.
#include <windows.h>

#include "window_text.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Identifiers that the message box of user32 gives its own controls.
constexpr int kMessageTextId = 0xFFFF;
constexpr int kIconId = 1088;

std::wstring WindowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    if (length <= 0) return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 2);
    int got = GetWindowTextW(window, buffer.data(), length + 1);
    return std::wstring(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

struct BoxDetails {
    std::wstring text;
    std::vector<int> buttons;
    bool icon = false;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
    BoxDetails* details = reinterpret_cast<BoxDetails*>(param);
    int id = GetDlgCtrlID(child);
    std::wstring cls = ClassName(child);
    if (lstrcmpiW(cls.c_str(), L"Button") == 0) {
        if (IsWindowVisible(child)) details->buttons.push_back(id);
    } else if (id == kMessageTextId) {
        details->text = WindowText(child);
    } else if (id == kIconId) {
        // The control is there whether or not the box has an icon.
        details->icon = IsWindowVisible(child) && SendMessageW(child, STM_GETICON, 0, 0) != 0;
    }
    return TRUE;
}

void Emit(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

struct Scan {
    std::vector<HWND> seen;
    std::vector<HWND> present;
};

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM param) {
    Scan* scan = reinterpret_cast<Scan*>(param);
    if (!IsWindowVisible(window) || ClassName(window) != L"#32770") return TRUE;
    // A box is complete once its message control exists.
    if (!GetDlgItem(window, kMessageTextId)) return TRUE;
    scan->present.push_back(window);
    for (HWND known : scan->seen)
        if (known == window) return TRUE;
    scan->seen.push_back(window);

    BoxDetails details;
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&details));
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);

    std::string line = "{\"event\":\"shown\",\"hwnd\":";
    line += std::to_string(reinterpret_cast<uintptr_t>(window));
    line += ",\"pid\":" + std::to_string(pid);
    line += ",\"caption\":";
    AppendJsonString(&line, WindowText(window));
    line += ",\"text\":";
    AppendJsonString(&line, details.text);
    line += ",\"buttons\":[";
    for (size_t i = 0; i < details.buttons.size(); ++i) {
        if (i) line += ",";
        line += std::to_string(details.buttons[i]);
    }
    line += "],\"icon\":";
    line += details.icon ? "true" : "false";
    line += "}";
    Emit(line);
    return TRUE;
}

DWORD WINAPI WatchInput(LPVOID) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[256];
    DWORD got = 0;
    while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    }
    ExitProcess(0);
}

}  // namespace

int main() {
    HANDLE thread = CreateThread(nullptr, 0, WatchInput, nullptr, 0, nullptr);
    if (thread) CloseHandle(thread);

    Scan scan;
    Emit("{\"event\":\"ready\"}");
    for (;;) {
        scan.present.clear();
        EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&scan));
        for (size_t i = 0; i < scan.seen.size();) {
            bool stillThere = false;
            for (HWND window : scan.present)
                if (window == scan.seen[i]) stillThere = true;
            if (stillThere) {
                ++i;
                continue;
            }
            Emit("{\"event\":\"gone\",\"hwnd\":" +
                 std::to_string(reinterpret_cast<uintptr_t>(scan.seen[i])) + "}");
            scan.seen.erase(scan.seen.begin() + static_cast<std::ptrdiff_t>(i));
        }
        Sleep(50);
    }
}
