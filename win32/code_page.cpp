#include "win32/code_page.h"

#include <windows.h>

#include <climits>

#include "win32/win32_platform.h"

namespace platform::win32 {
namespace {

// The program's UTF-16 texts are u16string; Windows' wide characters are
// the same 16-bit units.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::u16string ToWide(UINT codePage, const std::string& text) {
    if (text.empty() || text.size() > INT_MAX) return std::u16string();
    const int length = static_cast<int>(text.size());
    const int units = ::MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (units <= 0) return std::u16string();
    std::u16string wide(static_cast<size_t>(units), u'\0');
    const int written = ::MultiByteToWideChar(codePage, 0, text.data(), length,
                                              reinterpret_cast<wchar_t*>(&wide[0]), units);
    wide.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return wide;
}

std::string FromWide(UINT codePage, const std::u16string& wide) {
    if (wide.empty() || wide.size() > INT_MAX) return std::string();
    const int units = static_cast<int>(wide.size());
    const auto* data = reinterpret_cast<const wchar_t*>(wide.data());
    const int bytes = ::WideCharToMultiByte(codePage, 0, data, units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string ansi(static_cast<size_t>(bytes), '\0');
    const int written =
        ::WideCharToMultiByte(codePage, 0, data, units, &ansi[0], bytes, nullptr, nullptr);
    ansi.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return ansi;
}

}  // namespace

std::u16string AnsiToUtf16(const std::string& text) { return ToWide(CP_ACP, text); }

std::string Utf16ToAnsi(const std::u16string& text) { return FromWide(CP_ACP, text); }

std::u16string Win32System::AnsiToUtf16(const std::string& text) {
    return win32::AnsiToUtf16(text);
}

std::string Win32System::Utf16ToAnsi(const std::u16string& text) {
    return win32::Utf16ToAnsi(text);
}

std::string Win32System::AnsiToUtf8(const std::string& text) {
    return FromWide(CP_UTF8, ToWide(CP_ACP, text));
}

std::string Win32System::Utf8ToAnsi(const std::string& text) {
    // Malformed sequences become U+FFFD, which the code page then replaces
    // with its default character like any other missing one.
    return FromWide(CP_ACP, ToWide(CP_UTF8, text));
}

}  // namespace platform::win32
