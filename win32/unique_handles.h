// Owners of the Windows resources that the platform layer opens, one traits
// type per way of closing. Each closes on every path out of a scope.
#pragma once

#include <windows.h>

#include <msi.h>

#include <cstdio>

#include "platform/unique_resource.h"

namespace platform::win32 {

// Kernel objects whose "none" is NULL: mutexes, processes, threads, pipes,
// tokens.
struct HandleTraits {
    using Value = HANDLE;
    static HANDLE Empty() { return nullptr; }
    static void Close(HANDLE handle) { ::CloseHandle(handle); }
};
using UniqueHandle = UniqueResource<HandleTraits>;

// Kernel objects whose "none" is INVALID_HANDLE_VALUE (CreateFileW).
struct FileHandleTraits {
    using Value = HANDLE;
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { ::CloseHandle(handle); }
};
using UniqueFileHandle = UniqueResource<FileHandleTraits>;

struct FindHandleTraits {
    using Value = HANDLE;
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { ::FindClose(handle); }
};
using UniqueFindHandle = UniqueResource<FindHandleTraits>;

struct ModuleTraits {
    using Value = HMODULE;
    static HMODULE Empty() { return nullptr; }
    static void Close(HMODULE module) { ::FreeLibrary(module); }
};
using UniqueModule = UniqueResource<ModuleTraits>;

// Only keys that RegOpenKeyExW opened. The predefined root keys
// (HKEY_LOCAL_MACHINE, ...) are never wrapped: closing one would close the
// process's shared handle to it.
struct KeyTraits {
    using Value = HKEY;
    static HKEY Empty() { return nullptr; }
    static void Close(HKEY key) { ::RegCloseKey(key); }
};
using UniqueKey = UniqueResource<KeyTraits>;

// Buffers that the system allocated for the caller (FormatMessageW).
struct LocalMemoryTraits {
    using Value = HLOCAL;
    static HLOCAL Empty() { return nullptr; }
    static void Close(HLOCAL memory) { ::LocalFree(memory); }
};
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;

struct GlobalMemoryTraits {
    using Value = HGLOBAL;
    static HGLOBAL Empty() { return nullptr; }
    static void Close(HGLOBAL memory) { ::GlobalFree(memory); }
};
using UniqueGlobalMemory = UniqueResource<GlobalMemoryTraits>;

// Identifiers from AllocateAndInitializeSid.
struct SidTraits {
    using Value = PSID;
    static PSID Empty() { return nullptr; }
    static void Close(PSID sid) { ::FreeSid(sid); }
};
using UniqueSid = UniqueResource<SidTraits>;

// Pens, brushes, fonts, bitmaps (not stock objects).
struct GdiObjectTraits {
    using Value = HGDIOBJ;
    static HGDIOBJ Empty() { return nullptr; }
    static void Close(HGDIOBJ object) { ::DeleteObject(object); }
};
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;

struct IconTraits {
    using Value = HICON;
    static HICON Empty() { return nullptr; }
    static void Close(HICON icon) { ::DestroyIcon(icon); }
};
using UniqueIcon = UniqueResource<IconTraits>;

struct StdioFileTraits {
    using Value = FILE*;
    static FILE* Empty() { return nullptr; }
    static void Close(FILE* file) { std::fclose(file); }
};
using UniqueStdioFile = UniqueResource<StdioFileTraits>;

// Installer handles close through the late-bound MsiCloseHandle of the
// library binding that produced them.
struct InstallerHandleTraits {
    using Value = MSIHANDLE;
    decltype(&::MsiCloseHandle) closeHandle = nullptr;
    static MSIHANDLE Empty() { return 0; }
    void Close(MSIHANDLE handle) const {
        if (closeHandle != nullptr) closeHandle(handle);
    }
};
using UniqueInstallerHandle = UniqueResource<InstallerHandleTraits>;

}  // namespace platform::win32
