#include "config/version_strings.h"

#include <cctype>
#include <cstdio>

namespace setup {
namespace {

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Pieces between dots, without empty pieces (runs of dots count as one).
std::vector<std::string> SplitSkippingEmpty(const std::string& text) {
    std::vector<std::string> pieces;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t dot = text.find('.', pos);
        if (dot == std::string::npos) dot = text.size();
        if (dot > pos) pieces.push_back(text.substr(pos, dot - pos));
        pos = dot + 1;
    }
    return pieces;
}

}  // namespace

VersionValue VersionValue::FromWords(uint32_t ms, uint32_t ls) {
    VersionValue v;
    v.major = static_cast<uint16_t>(ms >> 16);
    v.minor = static_cast<uint16_t>(ms & 0xFFFF);
    v.build = static_cast<uint16_t>(ls >> 16);
    v.revision = static_cast<uint16_t>(ls & 0xFFFF);
    return v;
}

int32_t ToInt(const char* text) {
    while (IsSpace(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = (*text++ == '-');
    int64_t value = 0;
    for (; IsDigit(*text); ++text) {
        value = value * 10 + (*text - '0');
        if (value > int64_t{1} << 32) value = int64_t{1} << 32;  // stays clamped below
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

VersionValue ParseVersionValue(const std::string& text) {
    uint16_t parts[4] = {0, 0, 0, 0};
    size_t pos = 0;
    for (uint16_t& part : parts) {
        if (pos >= text.size()) break;
        size_t dot = text.find('.', pos);
        size_t end = dot == std::string::npos ? text.size() : dot + 1;
        std::string piece = text.substr(pos, end - pos);
        part = static_cast<uint16_t>(static_cast<uint32_t>(ToInt(piece.c_str())) & 0xFFFF);
        pos = end;
    }
    VersionValue v;
    v.major = parts[0];
    v.minor = parts[1];
    v.build = parts[2];
    v.revision = parts[3];
    return v;
}

int CompareVersionValues(const VersionValue& a, const VersionValue& b) {
    const uint16_t left[4] = {a.major, a.minor, a.build, a.revision};
    const uint16_t right[4] = {b.major, b.minor, b.build, b.revision};
    for (int i = 0; i < 4; ++i) {
        if (left[i] != right[i]) return left[i] < right[i] ? -1 : 1;
    }
    return 0;
}

std::string FormatVersionValue(const VersionValue& v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%d.%d.%d.%d", v.major, v.minor, v.build, v.revision);
    return buffer;
}

VersionFields ParseVersionFields(const std::string& text) {
    VersionFields result;
    if (text.empty()) return result;
    result.present = true;
    std::vector<std::string> pieces = SplitSkippingEmpty(text);
    for (size_t i = 0; i < pieces.size() && i < 5; ++i) result.field[i] = ToInt(pieces[i].c_str());
    return result;
}

bool VersionTextEquals(const std::string& a, const std::string& b) {
    VersionFields x = ParseVersionFields(a), y = ParseVersionFields(b);
    if (!x.present && !y.present) return false;
    for (int i = 0; i < 4; ++i) {
        if (x.field[i] != y.field[i]) return false;
    }
    return true;
}

bool VersionTextAtLeast(const std::string& actual, const std::string& required) {
    VersionFields x = ParseVersionFields(actual), y = ParseVersionFields(required);
    if (x.present || y.present) {
        for (int i = 0; i < 5; ++i) {
            if (x.field[i] != y.field[i]) {
                if (x.field[i] > y.field[i]) return true;
                break;
            }
        }
    }
    return VersionTextEquals(actual, required);
}

bool ParseNumberList(const std::string& text, std::vector<uint32_t>* numbers) {
    std::vector<uint32_t> list;
    for (std::string piece : SplitSkippingEmpty(text)) {
        size_t first = 0, last = piece.size();
        while (first < last && IsSpace(piece[first])) ++first;
        while (last > first && IsSpace(piece[last - 1])) --last;
        piece = piece.substr(first, last - first);
        for (char c : piece) {
            if (!IsDigit(c)) return false;
        }
        list.push_back(static_cast<uint32_t>(ToInt(piece.c_str())));
    }
    *numbers = list;
    return true;
}

}  // namespace setup
