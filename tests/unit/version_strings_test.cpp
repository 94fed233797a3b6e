// Version text as strtok fields and as number lists.
#include "config/version_strings.h"

#include <gtest/gtest.h>

namespace setup {
namespace {

TEST(VersionText, StrtokFieldsEqualOverFourAndAtLeastOverFive) {
    const std::pair<const char*, std::vector<int>> fields[] = {
        {"1..2", {1, 2, 0, 0, 0}}, {".5.", {5, 0, 0, 0, 0}}, {"1.2.3.4.5.6", {1, 2, 3, 4, 5}}, {"...", {0, 0, 0, 0, 0}}};
    for (const auto& [text, parts] : fields) {
        const VersionFields f = ParseVersionFields(text);
        EXPECT_TRUE(f.present) << text;
        EXPECT_EQ(std::vector<int>(f.field, f.field + 5), parts) << text;
    }
    EXPECT_FALSE(ParseVersionFields("").present);
    // a, b, whether a = b, whether a >= b
    const std::tuple<const char*, const char*, bool, bool> cases[] = {
        {"", "", false, false},           {"", "0", true, true},          {"1.2.3.4", "1.2.3.4.7", true, true},
        {"1.2.3.4.0", "1.2.3.4.9", true, true}, {"1.2.3.5", "1.2.3.4.9", false, true}, {"2", "", false, true},
        {"-1", "0", false, false},        {"10.0", "9.9", false, true},   {"4.8", "4.8.0.0", true, true},
        {"1.2.3.4.5", "1.2.3.4.6", true, true}, {"1.2", "1.3", false, false}, {"abc", "", true, true},
    };
    for (const auto& [a, b, equals, atLeast] : cases) {
        EXPECT_EQ(VersionTextEquals(a, b), equals) << a << " = " << b;
        EXPECT_EQ(VersionTextAtLeast(a, b), atLeast) << a << " >= " << b;
    }
}

TEST(ParseNumberList, AcceptsDigitsAndBlanksOnly) {
    const std::pair<const char*, std::vector<uint32_t>> valid[] = {
        {"5.1", {5, 1}}, {"6..1", {6, 1}}, {" 6 . 1 ", {6, 1}}, {"", {}}, {".", {}}, {"10.0.19045", {10, 0, 19045}},
        {"6. .1", {6, 0, 1}}};
    for (const auto& [text, expected] : valid) {
        std::vector<uint32_t> numbers = {999};
        EXPECT_TRUE(ParseNumberList(text, &numbers)) << text;
        EXPECT_EQ(numbers, expected) << text;
    }
    std::vector<uint32_t> numbers;
    for (const char* text : {"6.1a", "6.-1", "6.x"}) EXPECT_FALSE(ParseNumberList(text, &numbers)) << text;
}

}  // namespace
}  // namespace setup
