#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "win32/last_error.h"
#include "win32/unique_handles.h"
#include "win32/win32_platform.h"

namespace platform::win32 {
namespace {

// Limits of the profile functions' buffers.
constexpr DWORD kIniValueBuffer = 2048;
constexpr DWORD kIniSectionBuffer = 2048;

// A path from a drive's root (C:\dir) or a network path (\\server\share).
bool IsFullPath(const std::string& path) {
    const bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    const bool network = path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
    return drive || network;
}

// A list of NUL-ended names that a profile function writes, read with a
// buffer grown until the list fits (a list that was cut gives size - 2).
template <typename Fill>
std::vector<std::string> ReadNameList(Fill fill) {
    for (DWORD size = 64 * 1024; size <= 64 * 1024 * 1024; size *= 4) {
        std::vector<char> buffer(size, '\0');
        const DWORD length = fill(buffer.data(), size);
        if (length + 2 >= size) continue;
        std::vector<std::string> names;
        for (size_t pos = 0; pos < length && buffer[pos] != '\0'; pos += names.back().size() + 1) {
            names.emplace_back(buffer.data() + pos);
        }
        return names;
    }
    return {};
}

// Reads an open file to its end in pieces; false on a read error.
bool ReadToEnd(HANDLE file, const std::function<void(const char*, size_t)>& consume) {
    char chunk[64 * 1024];
    DWORD got = 0;
    while (::ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
        if (got == 0) return true;
        consume(chunk, got);
    }
    return false;
}

class Win32HeldFile final : public HeldFile {
public:
    explicit Win32HeldFile(UniqueFileHandle file) : file_(std::move(file)) {}
    bool ReadChunks(const std::function<void(const char*, size_t)>& consume) override {
        return ReadToEnd(file_.get(), consume);
    }

private:
    UniqueFileHandle file_;
};

}  // namespace

std::string Win32Files::ModulePath() {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();  // failed or cut
    return std::string(path, length);
}

bool Win32Files::SearchFinds(const std::string& pattern) {
    // No "insert a disk" box for an empty drive or a missing medium.
    const UINT previousMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    WIN32_FIND_DATAA found;
    UniqueFindHandle search(::FindFirstFileA(pattern.c_str(), &found));
    ::SetErrorMode(previousMode);
    return search.valid();
}

bool Win32Files::Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32Files::Append(const std::string& path, const std::string& bytes) {
    UniqueStdioFile file(std::fopen(path.c_str(), "ab+"));
    if (!file) return false;
    std::fwrite(bytes.data(), 1, bytes.size(), file.get());
    return true;
}

bool Win32Files::Write(const std::string& path, const std::string& bytes) {
    UniqueStdioFile file(std::fopen(path.c_str(), "wb"));
    return file && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size() &&
           std::fflush(file.get()) == 0;
}

bool Win32Files::ReadChunks(const std::string& path,
                            const std::function<void(const char*, size_t)>& consume) {
    const UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    return file && ReadToEnd(file.get(), consume);
}

std::unique_ptr<HeldFile> Win32Files::OpenHeld(const std::string& path) {
    // Shared for reading alone: no other handle may write, and none may
    // delete, rename or replace it (that takes delete access).
    UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return nullptr;
    return std::make_unique<Win32HeldFile>(std::move(file));
}

bool Win32Files::TempFolder(std::string* folder) {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetTempPathA(MAX_PATH, path);
    if (length == 0 || length > MAX_PATH) return false;
    *folder = std::string(path, strnlen(path, MAX_PATH));
    return true;
}

bool Win32Files::LongPath(const std::string& path, std::string* longPath) {
    char buffer[MAX_PATH] = {};
    const DWORD length = ::GetLongPathNameA(path.c_str(), buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;  // failed, or the size it would need
    *longPath = std::string(buffer, length);
    return true;
}

uint32_t Win32Files::TryLoadLibrary(const std::string& path) {
    // A library whose own imports are missing gets no loader box.
    const UINT previousMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // The component's own file: with a full path, its imports are looked for
    // beside it first, as when its own programs load it. The altered search
    // order is undefined for relative paths, which get the ordinary load.
    const DWORD flags = IsFullPath(path) ? LOAD_WITH_ALTERED_SEARCH_PATH : 0;
    const UniqueModule library(::LoadLibraryExA(path.c_str(), nullptr, flags));
    const DWORD error = library ? ERROR_SUCCESS : LastErrorOr(ERROR_MOD_NOT_FOUND);
    ::SetErrorMode(previousMode);
    return error;
}

std::string Win32Files::IniString(const std::string& section, const std::string& key,
                                  const std::string& fallback, const std::string& file) {
    char value[kIniValueBuffer] = {};
    const DWORD length = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(),
                                                    value, kIniValueBuffer, file.c_str());
    return std::string(value, length < kIniValueBuffer ? length : kIniValueBuffer - 1);
}

int Win32Files::IniInt(const std::string& section, const std::string& key, int fallback,
                       const std::string& file) {
    return static_cast<int>(
        ::GetPrivateProfileIntA(section.c_str(), key.c_str(), fallback, file.c_str()));
}

std::string Win32Files::IniSection(const std::string& section, const std::string& file) {
    char lines[kIniSectionBuffer] = {};
    ::GetPrivateProfileSectionA(section.c_str(), lines, kIniSectionBuffer, file.c_str());
    // Walk the NUL-ended lines to the empty one that ends the list and keep
    // everything up to and including its NUL. The zeroed buffer ends the
    // walk even where the system wrote nothing.
    size_t end = 0;
    while (end < kIniSectionBuffer && lines[end] != '\0') {
        end += strnlen(lines + end, kIniSectionBuffer - end) + 1;
    }
    return std::string(lines, end < kIniSectionBuffer ? end + 1 : kIniSectionBuffer);
}

std::vector<std::string> Win32Files::IniSectionNames(const std::string& file) {
    return ReadNameList([&](char* buffer, DWORD size) {
        return ::GetPrivateProfileSectionNamesA(buffer, size, file.c_str());
    });
}

std::vector<std::string> Win32Files::IniKeyNames(const std::string& section,
                                                 const std::string& file) {
    return ReadNameList([&](char* buffer, DWORD size) {
        return ::GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer, size, file.c_str());
    });
}

}  // namespace platform::win32
