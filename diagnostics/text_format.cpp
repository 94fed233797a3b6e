#include "diagnostics/text_format.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace setup {

std::string FormatBoundedV(size_t bufferSize, const char* format, va_list args) {
    if (bufferSize == 0) return std::string();
    const std::string text = FormatV(format, args);
    return CutToUtf16Units(text.substr(0, text.find('\0')), bufferSize - 1);
}

std::string FormatBounded(size_t bufferSize, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatBoundedV(bufferSize, format, args);
    va_end(args);
    return text;
}

std::string FormatV(const char* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    int n = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (n < 0) return std::string();
    std::vector<char> buffer(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    return std::string(buffer.data(), static_cast<size_t>(n));
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    return text;
}

namespace {
char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }
}  // namespace

int CompareNoCase(const std::string& a, const std::string& b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(FoldCase(a[i]));
        const auto y = static_cast<unsigned char>(FoldCase(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool EqualsNoCase(const std::string& a, const std::string& b) { return CompareNoCase(a, b) == 0; }

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool ContainsNoCase(const std::string& text, const std::string& part) {
    for (size_t i = 0; i + part.size() <= text.size(); ++i) {
        if (EqualsNoCase(text.substr(i, part.size()), part)) return true;
    }
    return false;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return;
    for (size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size()) {
        text.replace(pos, from.size(), to);
    }
}

size_t Utf8SequenceLength(const std::string& text, size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) return 1;
    const size_t n = lead >= 0xC2 && lead <= 0xDF   ? 2
                     : lead >= 0xE0 && lead <= 0xEF ? 3
                     : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                    : 0;
    if (n == 0 || i + n > text.size()) return 0;
    // The second byte's range rules out overlong forms, surrogates and
    // code points above U+10FFFF.
    const auto second = static_cast<unsigned char>(text[i + 1]);
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (second < low || second > high) return 0;
    for (size_t k = 2; k < n; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
    }
    return n;
}

std::u32string Utf8CodePoints(const std::string& text) {
    std::u32string codes;
    for (size_t i = 0; i < text.size();) {
        const size_t n = Utf8SequenceLength(text, i);
        if (n == 0) {
            codes += U'\uFFFD';
            ++i;
            continue;
        }
        const auto lead = static_cast<unsigned char>(text[i]);
        char32_t code = n == 1 ? lead : lead & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        codes += code;
        i += n;
    }
    return codes;
}

void AppendUtf8(char32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    for (char32_t code : Utf8CodePoints(text)) {
        if (code >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            code = 0xDC00 + ((code - 0x10000) & 0x3FF);
        }
        out += static_cast<char16_t>(code);
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code < 0xE000) {
            const bool paired = code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000;
            code = paired ? 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00) : 0xFFFD;
        }
        AppendUtf8(code, out);
    }
    return out;
}

std::string CutToUtf16Units(const std::string& text, size_t units) {
    size_t end = 0;
    for (size_t used = 0; end < text.size();) {
        const size_t n = std::max<size_t>(Utf8SequenceLength(text, end), 1);
        used += n == 4 ? 2 : 1;
        if (used > units) break;
        end += n;
    }
    return text.substr(0, end);
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t n = Utf8SequenceLength(text, i);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += text[i];
        } else if (n == 0) {
            out += "\\ufffd";
        } else if (c < 0x20) {
            out += Format("\\u%04x", c);
        } else {
            out += text.substr(i, n);
            i += n - 1;
        }
    }
    return out + "\"";
}

}  // namespace setup
