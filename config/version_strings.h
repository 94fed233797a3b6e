// The three readings of dotted version text, each tied to its callers:
// package and file versions (VersionValue), registry-condition versions
// (five signed fields) and the minimum Windows version (a number list).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace setup {

struct VersionValue {
    uint16_t major = 0, minor = 0, build = 0, revision = 0;

    // The two 32-bit words of a file version resource.
    uint32_t MostSignificant() const { return (uint32_t{major} << 16) | minor; }
    uint32_t LeastSignificant() const { return (uint32_t{build} << 16) | revision; }
    static VersionValue FromWords(uint32_t ms, uint32_t ls);
};

// Decimal conversion as the C library's atoi does it (leading white space,
// optional sign, digits up to the first other character), clamped to the
// signed 32-bit range instead of overflowing.
int32_t ToInt(const char* text);

VersionValue ParseVersionValue(const std::string& text);
int CompareVersionValues(const VersionValue& a, const VersionValue& b);
std::string FormatVersionValue(const VersionValue& v);

struct VersionFields {
    int32_t field[5] = {0, 0, 0, 0, 0};
    bool present = false;  // false for an empty text
};
VersionFields ParseVersionFields(const std::string& text);
bool VersionTextEquals(const std::string& a, const std::string& b);
bool VersionTextAtLeast(const std::string& actual, const std::string& required);

// Digits-only numbers separated by dots; false when the text is invalid.
bool ParseNumberList(const std::string& text, std::vector<uint32_t>* numbers);

}  // namespace setup
