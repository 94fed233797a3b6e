// Text at the edge of Windows: the program's UTF-8 as UTF-16 for the wide
// ("W") functions and back, and bytes in a code page as UTF-8.
#pragma once

#include <windows.h>

#include <string>

namespace platform::win32 {

// A UTF-8 text as a NUL-ended UTF-16 string for one call: Wide(path).
class Wide {
public:
    explicit Wide(const std::string& text);
    operator const wchar_t*() const { return reinterpret_cast<const wchar_t*>(text_.c_str()); }
    // For the few functions that take a writable string.
    wchar_t* data() { return reinterpret_cast<wchar_t*>(&text_[0]); }
    size_t size() const { return text_.size(); }

private:
    std::u16string text_;
};

// UTF-16 (up to `length` units, or to its NUL) as UTF-8.
std::string Narrow(const wchar_t* text, size_t length);
std::string Narrow(const wchar_t* text);

// Bytes in a code page (CP_OEMCP, ...) as UTF-8, and UTF-8 as bytes in a
// code page (a character it lacks becomes its default character).
std::string FromCodePage(UINT codePage, const std::string& bytes);
std::string ToCodePage(UINT codePage, const std::string& text);

}  // namespace platform::win32
