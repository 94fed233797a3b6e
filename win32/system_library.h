// Libraries and entry points bound at run time. A setup program starts from
// a Downloads folder or a medium, where anyone can leave a DLL of a system
// library's name; so libraries are loaded by full path from the Windows
// system folder only, never through the ordinary search.
#pragma once

#include <windows.h>

#include "win32/unique_handles.h"

namespace platform::win32 {

// Loads a library (a bare file name such as "msi.dll") from the system
// folder; empty when the folder or the library cannot be had.
UniqueModule LoadSystemLibrary(const char* fileName);

// Looks an entry up by name and gives it the type of its declaration in the
// SDK headers (Entry is a decltype(&::Function)). Null when it is missing.
template <typename Entry>
Entry LookUpEntry(HMODULE library, const char* name) {
    // Through void (*)() because a direct cast between unrelated function
    // types draws -Wcast-function-type.
    return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

template <typename Entry>
bool BindEntry(HMODULE library, const char* name, Entry* entry) {
    *entry = LookUpEntry<Entry>(library, name);
    return *entry != nullptr;
}

}  // namespace platform::win32
