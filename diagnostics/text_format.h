// Bounded printf-style formatting into std::string.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

#if defined(__GNUC__)
#define SETUP_PRINTF(format_index, first_arg) \
    __attribute__((format(printf, format_index, first_arg)))
#else
#define SETUP_PRINTF(format_index, first_arg)
#endif

namespace setup {

// Formats into a buffer of `bufferSize` characters, as the fixed buffers of
// the log and the messages do: the result holds at most bufferSize - 1
// UTF-16 units and is cut after a whole character, never overflowing.
std::string FormatBoundedV(size_t bufferSize, const char* format, va_list args) SETUP_PRINTF(2, 0);
std::string FormatBounded(size_t bufferSize, const char* format, ...) SETUP_PRINTF(2, 3);

// Formats without a size limit.
std::string FormatV(const char* format, va_list args) SETUP_PRINTF(1, 0);
std::string Format(const char* format, ...) SETUP_PRINTF(1, 2);

// Comparisons without regard to case, as the C library's: ASCII letters
// folded to lower case, then compared by code value.
int CompareNoCase(const std::string& a, const std::string& b);
bool EqualsNoCase(const std::string& a, const std::string& b);
bool StartsWithNoCase(const std::string& text, const std::string& prefix);
bool ContainsNoCase(const std::string& text, const std::string& part);

// The length of the UTF-8 sequence at `i`: 1 for ASCII, 2 to 4 for a whole
// sequence, 0 where the bytes are no UTF-8 (overlong forms, surrogates and
// code points above U+10FFFF included).
size_t Utf8SequenceLength(const std::string& text, size_t i);

// UTF-8, the program's text, and UTF-16, Windows'. A byte that begins no
// valid UTF-8 sequence reads as U+FFFD, and so does a lone surrogate.
std::u32string Utf8CodePoints(const std::string& text);
void AppendUtf8(char32_t code, std::string& out);
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);
// The text's first whole characters that fit `units` UTF-16 units, as a
// buffer of Windows' wide characters holds them.
std::string CutToUtf16Units(const std::string& text, size_t units);

// A JSON string literal of the UTF-8 text; a byte that is no UTF-8 is
// written as U+FFFD.
std::string JsonString(const std::string& text);

// Replaces every occurrence, left to right, without rescanning what was
// inserted.
void ReplaceAll(std::string& text, const std::string& from, const std::string& to);

}  // namespace setup
