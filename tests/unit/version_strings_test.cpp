#include "config/version_strings.h"

#include <gtest/gtest.h>

#include <tuple>

namespace setup {
namespace {

TEST(ParseVersionValue, TakesFourAtoiPartsCutTo16Bits) {
    struct Case {
        const char* text;
        const char* formatted;
    };
    const Case cases[] = {
        {"", "0.0.0.0"},          {"10", "10.0.0.0"},       {"1.2.3.4.5", "1.2.3.4"},
        {"1..2", "1.0.2.0"},      {"1.2a.3", "1.2.3.0"},    {"abc", "0.0.0.0"},
        {"65536.1", "0.1.0.0"},   {"-1", "65535.0.0.0"},    {"70000", "4464.0.0.0"},
        {"2 . 3", "2.3.0.0"},     {"99999999999", "65535.0.0.0"},
        {"1.2.3.", "1.2.3.0"},    {".5", "0.5.0.0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatVersionValue(ParseVersionValue(c.text)), c.formatted) << c.text;
    }
}

TEST(CompareVersionValues, ComparesUnsignedNumbersInOrder) {
    const std::tuple<const char*, const char*, int> cases[] = {
        {"1.10", "1.9", 1}, {"1.9", "1.10", -1}, {"1.2", "1.2.0.0", 0}, {"2.0.0.0", "1.9.9.9", 1},
        {"1.0.0.1", "1.0.0.2", -1}, {"-1", "60000", 1}};  // 65535 (from -1) is the highest part value
    for (const auto& [a, b, order] : cases) {
        EXPECT_EQ(CompareVersionValues(ParseVersionValue(a), ParseVersionValue(b)), order) << a << " " << b;
    }
}

TEST(VersionValue, FileVersionWordsRoundTrip) {
    VersionValue v = ParseVersionValue("1.2.3.4");
    EXPECT_EQ(v.MostSignificant(), 0x00010002u);
    EXPECT_EQ(v.LeastSignificant(), 0x00030004u);
    EXPECT_EQ(FormatVersionValue(VersionValue::FromWords(0xFFFFFFFFu, 0xFFFFFFFFu)),
              "65535.65535.65535.65535");
}

TEST(ParseVersionFields, SplitsLikeStrtok) {
    const std::pair<const char*, std::vector<int>> cases[] = {
        {"1..2", {1, 2, 0, 0, 0}}, {".5.", {5, 0, 0, 0, 0}}, {"1.2.3.4.5.6", {1, 2, 3, 4, 5}}, {"...", {0, 0, 0, 0, 0}}};
    for (const auto& [text, fields] : cases) {
        const VersionFields f = ParseVersionFields(text);
        EXPECT_TRUE(f.present) << text;
        EXPECT_EQ(std::vector<int>(f.field, f.field + 5), fields) << text;
    }
    EXPECT_FALSE(ParseVersionFields("").present);
}

TEST(VersionText, EqualityOverFourFieldsAndAtLeastOverFive) {
    struct Case {
        const char* a;
        const char* b;
        bool equals;
        bool atLeast;  // a >= b
    };
    const Case cases[] = {
        {"", "", false, false},
        {"", "0", true, true},
        {"1.2.3.4", "1.2.3.4.7", true, true},
        {"1.2.3.4.0", "1.2.3.4.9", true, true},
        {"1.2.3.5", "1.2.3.4.9", false, true},
        {"2", "", false, true},
        {"-1", "0", false, false},
        {"10.0", "9.9", false, true},
        {"4.8", "4.8.0.0", true, true},
        {"1.2.3.4.5", "1.2.3.4.6", true, true},
        {"1.2", "1.3", false, false},
        {"abc", "", true, true},  // letters give zeros, equal to the empty text
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VersionTextEquals(c.a, c.b), c.equals) << c.a << " = " << c.b;
        EXPECT_EQ(VersionTextAtLeast(c.a, c.b), c.atLeast) << c.a << " >= " << c.b;
    }
}

TEST(ParseNumberList, AcceptsDigitsAndBlanksOnly) {
    struct Case {
        const char* text;
        bool valid;
        std::vector<uint32_t> numbers;
    };
    const std::vector<Case> cases = {
        {"5.1", true, {5, 1}},     {"6..1", true, {6, 1}},     {" 6 . 1 ", true, {6, 1}},
        {"6.1a", false, {}},       {"6.-1", false, {}},        {"6.x", false, {}},
        {"", true, {}},            {".", true, {}},            {"10.0.19045", true, {10, 0, 19045}},
        {"6. .1", true, {6, 0, 1}},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> numbers = {999};
        EXPECT_EQ(ParseNumberList(c.text, &numbers), c.valid) << c.text;
        if (c.valid) {
            EXPECT_EQ(numbers, c.numbers) << c.text;
        }
    }
}

TEST(ToInt, BehavesLikeAtoiWithoutOverflow) {
    const std::pair<const char*, int> cases[] = {{"  -12x", -12}, {"+7", 7}, {"0x10", 0}, {"", 0},
        {"99999999999999999999", INT32_MAX}, {"-99999999999999999999", INT32_MIN}};
    for (const auto& [text, value] : cases) EXPECT_EQ(ToInt(text), value) << text;
}

}  // namespace
}  // namespace setup
