// A stand-in for msi.dll that a stranger could drop beside a setup program.
// It exports nothing a setup program looks for; loading it is the fault it
// exposes. On process attach it appends one line naming the loading program
// to a marker file: the path in the environment variable PLANTED_DLL_MARKER
// when set, and always "<this DLL's path>.loaded" beside itself.
#include <windows.h>

namespace {

void AppendLine(const wchar_t* path, const char* text, DWORD length) {
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text, length, &written, nullptr);
    CloseHandle(file);
}

void RecordLoad(HINSTANCE self) {
    char line[MAX_PATH + 16];
    DWORD length = GetModuleFileNameA(nullptr, line, MAX_PATH);
    if (length >= MAX_PATH) length = 0;
    line[length++] = '\r';
    line[length++] = '\n';

    wchar_t marker[MAX_PATH + 16];
    DWORD markerLength = GetEnvironmentVariableW(L"PLANTED_DLL_MARKER", marker, MAX_PATH);
    if (markerLength > 0 && markerLength < MAX_PATH) AppendLine(marker, line, length);

    DWORD selfLength = GetModuleFileNameW(self, marker, MAX_PATH);
    if (selfLength > 0 && selfLength < MAX_PATH) {
        lstrcatW(marker, L".loaded");
        AppendLine(marker, line, length);
    }
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) RecordLoad(instance);
    return TRUE;
}

// The one export: a name no caller asks for, so that the image is an
// ordinary DLL with an export table.
extern "C" __declspec(dllexport) int PlantedMarker() { return 1; }
