#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <string>

#include "driver/run.h"
#include "win32/code_page.h"
#include "win32/system_library.h"
#include "win32/win32_platform.h"

namespace {

// Before anything else can load a library: take the program's folder and
// the current folder out of the search for libraries loaded by name, so
// that a DLL planted beside setup.exe (a Downloads folder) is never used.
void RestrictLibrarySearch() {
    // Both are looked up so that the program still starts where they are
    // missing: the first came with Windows 8 (and 7's loader update), the
    // second with XP SP1.
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    using platform::win32::LookUpEntry;
    const auto setDefaultDirectories =
        LookUpEntry<decltype(&::SetDefaultDllDirectories)>(kernel32, "SetDefaultDllDirectories");
    if (setDefaultDirectories != nullptr) setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    const auto setDirectory =
        LookUpEntry<decltype(&::SetDllDirectoryW)>(kernel32, "SetDllDirectoryW");
    if (setDirectory != nullptr) setDirectory(L"");  // "": not the current folder either
}

// setup.exe reads and writes no standard handle. Those it was started with
// (a deployment tool's redirected output) are let go, so that no program it
// starts gets them and keeps them open after it ends: Windows may duplicate
// them into a console program that inherits nothing, Wine does so for every
// such program, and before Vista a condition program inherits them.
void LetGoOfStandardHandles() {
    for (const DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        const HANDLE handle = ::GetStdHandle(which);
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
            ::SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0);
        }
        ::SetStdHandle(which, nullptr);
    }
}

}  // namespace

// The command line after the program's name, as the runtime gives it.
int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPWSTR commandLine,
                    int /*show*/) {
    RestrictLibrarySearch();
    LetGoOfStandardHandles();

    const HRESULT com = ::CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES;
    ::InitCommonControlsEx(&controls);

    int result = 0;
    {
        platform::win32::Win32Platform os;
        result = setup::Run(os, commandLine != nullptr ? platform::win32::Narrow(commandLine) : std::string());
    }

    if (SUCCEEDED(com)) ::CoUninitialize();
    return result;
}
