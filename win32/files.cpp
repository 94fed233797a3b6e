#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <utility>
#include <vector>

#include "win32/code_page.h"
#include "win32/last_error.h"
#include "win32/unique_handles.h"
#include "win32/win32_platform.h"

namespace platform::win32 {
namespace {

// Limits of the profile functions' buffers.
constexpr DWORD kIniValueBuffer = 2048;
constexpr DWORD kIniSectionBuffer = 2048;

// A list of NUL-ended names that a profile function writes, read with a
// buffer grown until the list fits (a list that was cut gives size - 2).
template <typename Fill>
std::vector<std::string> ReadNameList(Fill fill) {
    for (DWORD size = 64 * 1024; size <= 64 * 1024 * 1024; size *= 4) {
        std::vector<wchar_t> buffer(size, L'\0');
        const DWORD length = fill(buffer.data(), size);
        if (length + 2 >= size) continue;
        std::vector<std::string> names;
        for (size_t pos = 0; pos < length && buffer[pos] != L'\0'; pos += std::wcslen(buffer.data() + pos) + 1) {
            names.push_back(Narrow(buffer.data() + pos));
        }
        return names;
    }
    return {};
}

// A path that a function writes into a buffer of MAX_PATH characters, as
// UTF-8; false when it fails or does not fit (`fill` gives the length, or
// the size it would need).
template <typename Fill>
bool ReadPath(std::string* path, Fill fill) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = fill(buffer);
    if (length == 0 || length >= MAX_PATH) return false;
    *path = Narrow(buffer, length);
    return true;
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
    std::string path;
    ReadPath(&path, [](wchar_t* buffer) { return ::GetModuleFileNameW(nullptr, buffer, MAX_PATH); });
    return path;  // empty when it failed or was cut
}

bool Win32Files::SearchFinds(const std::string& pattern) {
    // No "insert a disk" box for an empty drive or a missing medium.
    const UINT previousMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(::FindFirstFileW(Wide(pattern), &found));
    ::SetErrorMode(previousMode);
    return search.valid();
}

bool Win32Files::Exists(const std::string& path) {
    return ::GetFileAttributesW(Wide(path)) != INVALID_FILE_ATTRIBUTES;
}

bool Win32Files::Append(const std::string& path, const std::string& bytes) {
    UniqueStdioFile file(::_wfopen(Wide(path), L"ab+"));
    if (!file) return false;
    std::fwrite(bytes.data(), 1, bytes.size(), file.get());
    return true;
}

bool Win32Files::Write(const std::string& path, const std::string& bytes) {
    UniqueStdioFile file(::_wfopen(Wide(path), L"wb"));
    return file && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size() &&
           std::fflush(file.get()) == 0;
}

bool Win32Files::ReadChunks(const std::string& path,
                            const std::function<void(const char*, size_t)>& consume) {
    const UniqueFileHandle file(::CreateFileW(Wide(path), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    return file && ReadToEnd(file.get(), consume);
}

std::unique_ptr<HeldFile> Win32Files::OpenHeld(const std::string& path) {
    // Shared for reading alone: no other handle may write, and none may
    // delete, rename or replace it (that takes delete access).
    UniqueFileHandle file(::CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return nullptr;
    return std::make_unique<Win32HeldFile>(std::move(file));
}

bool Win32Files::TempFolder(std::string* folder) {
    return ReadPath(folder, [](wchar_t* buffer) { return ::GetTempPathW(MAX_PATH, buffer); });
}

bool Win32Files::LongPath(const std::string& path, std::string* longPath) {
    const Wide wide(path);
    return ReadPath(longPath, [&](wchar_t* buffer) { return ::GetLongPathNameW(wide, buffer, MAX_PATH); });
}

// The profile functions read a file without the UTF-16 byte-order mark in
// the ANSI code page, as the "A" functions did; the text comes whole.
std::string Win32Files::IniString(const std::string& section, const std::string& key,
                                  const std::string& fallback, const std::string& file) {
    wchar_t value[kIniValueBuffer] = {};
    const DWORD length = ::GetPrivateProfileStringW(Wide(section), Wide(key), Wide(fallback), value,
                                                    kIniValueBuffer, Wide(file));
    return Narrow(value, length < kIniValueBuffer ? length : kIniValueBuffer - 1);
}

int Win32Files::IniInt(const std::string& section, const std::string& key, int fallback,
                       const std::string& file) {
    return static_cast<int>(::GetPrivateProfileIntW(Wide(section), Wide(key), fallback, Wide(file)));
}

std::string Win32Files::IniSection(const std::string& section, const std::string& file) {
    wchar_t lines[kIniSectionBuffer] = {};
    ::GetPrivateProfileSectionW(Wide(section), lines, kIniSectionBuffer, Wide(file));
    // Walk the NUL-ended lines to the empty one that ends the list and keep
    // everything up to and including its NUL. The zeroed buffer ends the
    // walk even where the system wrote nothing.
    size_t end = 0;
    while (end < kIniSectionBuffer && lines[end] != L'\0') {
        end += wcsnlen(lines + end, kIniSectionBuffer - end) + 1;
    }
    return Narrow(lines, end < kIniSectionBuffer ? end + 1 : kIniSectionBuffer);
}

std::vector<std::string> Win32Files::IniSectionNames(const std::string& file) {
    const Wide wide(file);
    return ReadNameList([&](wchar_t* buffer, DWORD size) {
        return ::GetPrivateProfileSectionNamesW(buffer, size, wide);
    });
}

std::vector<std::string> Win32Files::IniKeyNames(const std::string& section,
                                                 const std::string& file) {
    const Wide wideSection(section), wideFile(file);
    return ReadNameList([&](wchar_t* buffer, DWORD size) {
        return ::GetPrivateProfileStringW(wideSection, nullptr, L"", buffer, size, wideFile);
    });
}

}  // namespace platform::win32
