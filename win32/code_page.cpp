#include "win32/code_page.h"

#include <climits>
#include <cwchar>

#include "diagnostics/text_format.h"

namespace platform::win32 {

// The program's UTF-16 texts are u16string; Windows' wide characters are
// the same 16-bit units.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

Wide::Wide(const std::string& text) : text_(setup::Utf8ToUtf16(text)) {}

std::string Narrow(const wchar_t* text, size_t length) {
    return setup::Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(text), length));
}

std::string Narrow(const wchar_t* text) { return Narrow(text, std::wcslen(text)); }

std::string FromCodePage(UINT codePage, const std::string& bytes) {
    if (bytes.empty() || bytes.size() > INT_MAX) return std::string();
    const int length = static_cast<int>(bytes.size());
    const int units = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (units <= 0) return std::string();
    std::u16string wide(static_cast<size_t>(units), u'\0');
    const int written = ::MultiByteToWideChar(codePage, 0, bytes.data(), length,
                                              reinterpret_cast<wchar_t*>(&wide[0]), units);
    wide.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return setup::Utf16ToUtf8(wide);
}

std::string ToCodePage(UINT codePage, const std::string& text) {
    const Wide wide(text);
    if (wide.size() == 0 || wide.size() > INT_MAX) return std::string();
    const int units = static_cast<int>(wide.size());
    const int bytes = ::WideCharToMultiByte(codePage, 0, wide, units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string narrow(static_cast<size_t>(bytes), '\0');
    const int written = ::WideCharToMultiByte(codePage, 0, wide, units, &narrow[0], bytes, nullptr, nullptr);
    narrow.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return narrow;
}

}  // namespace platform::win32
