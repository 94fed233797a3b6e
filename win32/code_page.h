// Conversion between 8-bit text in the ANSI code page and UTF-16.
#pragma once

#include <string>

namespace platform::win32 {

std::u16string AnsiToUtf16(const std::string& text);
// Characters that the code page lacks become its default character.
std::string Utf16ToAnsi(const std::u16string& text);

}  // namespace platform::win32
