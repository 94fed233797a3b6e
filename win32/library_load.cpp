// Whether a component's file loads as a library (FileTryLoad), as the x86
// program finds it. A 64-bit process cannot load a 32-bit library (error
// 193), so the x64 program reads the image instead of loading it.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "win32/code_page.h"
#include "win32/last_error.h"
#include "win32/unique_handles.h"
#include "win32/win32_platform.h"

namespace platform::win32 {
namespace {

// A path from a drive's root (C:\dir) or a network path (\\server\share).
bool IsFullPath(const std::string& path) {
    const bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    const bool network = path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
    return drive || network;
}

#ifdef _WIN64

constexpr uint16_t kMachineX86 = 0x14C;  // IMAGE_FILE_MACHINE_I386
constexpr uint16_t kPe32 = 0x10B;        // IMAGE_NT_OPTIONAL_HDR32_MAGIC

// Bytes of a file at an offset; fewer at its end.
std::string ReadAt(HANDLE file, uint32_t offset, DWORD count) {
    std::string bytes(count, '\0');
    OVERLAPPED at = {};
    at.Offset = offset;
    DWORD got = 0;
    if (!::ReadFile(file, &bytes[0], count, &got, &at)) got = 0;
    bytes.resize(got);
    return bytes;
}

uint32_t Little(const std::string& bytes, size_t at, size_t size) {
    uint32_t value = 0;
    for (size_t i = size; i-- > 0;) {
        value = value << 8 | (at + i < bytes.size() ? static_cast<unsigned char>(bytes[at + i]) : 0u);
    }
    return value;
}

// The names of the libraries that a 32-bit x86 image imports; false when
// the file is no such image (a 64-bit one among them).
bool ImportsOfX86Image(HANDLE file, std::vector<std::string>* imports) {
    const std::string head = ReadAt(file, 0, 4096);
    const uint32_t pe = Little(head, 0x3C, 4);
    if (head.compare(0, 2, "MZ") != 0 || pe > head.size() || head.compare(pe, 4, std::string("PE\0\0", 4)) != 0 ||
        Little(head, pe + 4, 2) != kMachineX86 || Little(head, pe + 24, 2) != kPe32) {
        return false;
    }
    const size_t optional = pe + 24, sections = optional + Little(head, pe + 20, 2);
    const uint32_t importTable = Little(head, optional + 104, 4);
    if (Little(head, optional + 92, 4) < 2 || importTable == 0) return true;  // imports nothing
    // The file offset of an address in the image, through its sections.
    const auto offsetOf = [&](uint32_t address) -> uint32_t {
        for (size_t s = sections, n = 0; n < Little(head, pe + 6, 2); ++n, s += 40) {
            const uint32_t start = Little(head, s + 12, 4);
            const uint32_t size = std::max(Little(head, s + 8, 4), Little(head, s + 16, 4));
            if (address >= start && address - start < size) return address - start + Little(head, s + 20, 4);
        }
        return 0;
    };
    for (uint32_t entry = offsetOf(importTable);; entry += 20) {
        const std::string descriptor = ReadAt(file, entry, 20);
        const uint32_t name = Little(descriptor, 12, 4);
        if (entry == 0 || descriptor.size() < 20 || name == 0) return entry != 0;
        const std::string text = ReadAt(file, offsetOf(name), MAX_PATH);
        imports->push_back(text.substr(0, text.find('\0')));
    }
}

#endif

}  // namespace

#ifndef _WIN64

uint32_t Win32Files::TryLoadLibrary(const std::string& path) {
    // A library whose own imports are missing gets no loader box.
    const UINT previousMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // The component's own file: with a full path, its imports are looked for
    // beside it first, as when its own programs load it. The altered search
    // order is undefined for relative paths, which get the ordinary load.
    const DWORD flags = IsFullPath(path) ? LOAD_WITH_ALTERED_SEARCH_PATH : 0;
    const UniqueModule library(::LoadLibraryExW(Wide(path), nullptr, flags));
    const DWORD error = library ? ERROR_SUCCESS : LastErrorOr(ERROR_MOD_NOT_FOUND);
    ::SetErrorMode(previousMode);
    return error;
}

#else

// What the x86 program's load needs first: a 32-bit x86 image (else 193, as
// it gets for a 64-bit one), whose imported libraries lie beside it (a full
// path), in the 32-bit system folder or in the Windows folder (else 126).
// Unlike that load it runs no entry point and does not follow the imported
// libraries' own imports or look up their functions.
uint32_t Win32Files::TryLoadLibrary(const std::string& path) {
    const UniqueFileHandle file(::CreateFileW(Wide(path), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
    if (!file) return LastErrorOr(ERROR_MOD_NOT_FOUND);
    std::vector<std::string> imports;
    if (!ImportsOfX86Image(file.get(), &imports)) return ERROR_BAD_EXE_FORMAT;
    std::vector<std::string> folders;
    if (IsFullPath(path)) folders.push_back(path.substr(0, path.find_last_of("\\/")));
    std::string folder;
    if (SystemFolder(&folder)) folders.push_back(folder);
    wchar_t windows[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
    if (length > 0 && length < MAX_PATH) folders.push_back(Narrow(windows, length));
    for (const std::string& name : imports) {
        // Names of API sets are no files: the loader maps them to libraries.
        if (_strnicmp(name.c_str(), "api-", 4) == 0 || _strnicmp(name.c_str(), "ext-", 4) == 0) continue;
        bool found = false;
        for (const std::string& where : folders) found = found || Exists(where + "\\" + name);
        if (!found) return ERROR_MOD_NOT_FOUND;
    }
    return ERROR_SUCCESS;
}

#endif

}  // namespace platform::win32
