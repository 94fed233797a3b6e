// The string table in its four languages, and how the run loads it.
#include <gtest/gtest.h>

#include <map>

#include "diagnostics/localized_strings.h"
#include "fake_platform.h"

namespace setup {
namespace {

// The printf conversions of a text, in order ("%s", "%d", ...; "%%" left out).
std::string Conversions(const std::string& text) {
    std::string out;
    for (size_t i = text.find('%'); i != std::string::npos; i = text.find('%', i + 2)) {
        if (text.compare(i, 2, "%%") != 0) out += text.substr(i, 2);
    }
    return out;
}

TEST(StringTable, EveryLanguageHasEveryTextWithTheSamePlaceholdersAndAccelerators) {
    std::map<uint16_t, std::map<uint16_t, std::string>> byLanguage;
    for (const auto& s : fake::AllStringResources()) {
        EXPECT_TRUE(byLanguage[s.language].emplace(s.id, s.utf8).second) << s.language << "/" << s.id;
        EXPECT_STRNE(s.utf8, "") << s.language << "/" << s.id;
    }
    ASSERT_EQ(byLanguage.size(), 4u);
    const auto& english = byLanguage.at(0);
    for (const auto& [language, texts] : byLanguage) {
        ASSERT_EQ(texts.size(), english.size()) << language;
        for (const auto& [id, text] : texts) {
            EXPECT_EQ(Conversions(text), Conversions(english.at(id))) << language << "/" << id;
            const bool button = id == 130 || id == 131 || id == 148 || id == 1009;
            EXPECT_EQ(std::count(text.begin(), text.end(), '&'), button ? 1 : 0) << language << "/" << id;
            EXPECT_EQ(Conversions(english.at(id)).find_first_not_of("%s"), std::string::npos) << "only %s: " << id;
        }
        EXPECT_EQ(texts.at(128), "BootStrapper") << "the display name is not translated";
    }
}

TEST(StringTable, LoadsTheBlockOfExactlyTheUserLanguageElseTheSystemsChoice) {
    for (uint16_t language : {1049, 1041, 1040, 1033, 2057}) {
        fake::Platform os;
        StringTable strings(os, language);
        std::string expected = "Installation Error";
        for (const auto& s : fake::AllStringResources()) {
            if (s.language == language && s.id == 135) expected = s.utf8;
        }
        EXPECT_EQ(strings.LoadLocalizedString(135), expected) << language;
        EXPECT_EQ(strings.LoadLocalizedString(999), "") << "no such identifier";
        EXPECT_TRUE(language >= 1040 && language <= 1049 ? expected != "Installation Error"
                    : strings.FormatLocalizedString(133, "C:\\x.msi") == "Setup was unable to find the file\n'C:\\x.msi'.");
    }
    std::u16string text;
    const std::vector<uint16_t> block = {0, 2, 'h', 'i', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 'z', 1, 'q'};
    EXPECT_TRUE(StringFromBlock(block, 1, &text) && text == u"hi");
    EXPECT_TRUE(StringFromBlock(block, 15, &text) && text == u"z");
    EXPECT_FALSE(StringFromBlock(block, 0, &text)) << "empty entry";
    EXPECT_FALSE(StringFromBlock(block, 16, &text)) << "a block holds 16 entries";
    EXPECT_FALSE(StringFromBlock({0, 5, 'a'}, 1, &text)) << "length beyond the block";
    EXPECT_FALSE(StringFromBlock({0, 0}, 3, &text)) << "block ends early";
}

}  // namespace
}  // namespace setup
