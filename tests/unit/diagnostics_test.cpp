// Text helpers and log names, the log mail and the string table.
#include <gtest/gtest.h>

#include <map>

#include "diagnostics/localized_strings.h"
#include "diagnostics/log_mail.h"
#include "diagnostics/services.h"
#include "diagnostics/system_error_text.h"
#include "diagnostics/text_format.h"
#include "fake_platform.h"

namespace setup {
namespace {

using fake::Bench;

TEST(TextFormat, BoundedFormattingReplacementCaseRulesAndLogNames) {
    // What no file name holds and letters beyond ASCII become "$", unless the name exists.
    fake::Platform os;
    EXPECT_EQ(SafeLogName(os.fileSystem, "Caf\xC3\xA9 ?Pro: A\\B/C*D\"E<F>G|H\tI..\\x\x7F\x80"),
              "Caf$ $Pro$ A$B$C$D$E$F$G$H$I..$x\x7F$");
    os.fileSystem.contents["Caf\xC3\xA9 Pro$"];
    EXPECT_EQ(SafeLogName(os.fileSystem, "Caf\xC3\xA9 Pro?"), "Caf\xC3\xA9 Pro$");
    EXPECT_EQ(FormatBounded(6, "%s-%d", "abc", 42) + "|" + FormatBounded(1, "%s", "abc") + FormatBounded(0, "%s", "x"), "abc-4|");
    EXPECT_EQ(Format("%s", std::string(5000, 'x').c_str()).size(), 5000u);
    std::string text = "#Root##Root#x";
    ReplaceAll(text, "#Root#", "#Root#\\a"), ReplaceAll(text, "", "y");
    EXPECT_EQ(text, "#Root#\\a#Root#\\ax");
    EXPECT_TRUE(StartsWithNoCase("msiexec", "MSIEXEC") && !ContainsNoCase("LibreOffice", "Libre Office"));
    os.sys.errorTexts[7] = "\n";  // only the line end of a longer text goes
    EXPECT_EQ(SystemErrorText(os, 7) + SystemErrorText(os, 1603), "Error(7)'\n'.Error(1603)'Fatal error.'.");
    // Cut after whole characters, counted in UTF-16 units.
    EXPECT_EQ(FormatBounded(4, "%s", "a\xC3\xA9\xE2\x82\xAC!"), "a\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(FormatBounded(3, "%s", "a\xF0\x9F\x98\x80"), "a") << "a surrogate pair is two units";
    const std::string planes = "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\xC3\xA9";  // U+10000, U+10FFFF
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(planes)), planes);
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD800, 0xE000, u'a'}), "\xEF\xBF\xBD\xEE\x80\x80" "a");
    // Overlong forms, surrogates and code points past U+10FFFF are U+FFFD.
    const std::string utf8 = "\xC2\x80\xDF\xBF\xEF\xBF\xBF\xE0\xA0\x80\xED\x9F\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
    EXPECT_EQ(JsonString(utf8), "\"" + utf8 + "\"");
    const std::pair<std::string, std::string> json[] = {
        {"a\"\\\x01\x7F", "a\\\"\\\\\\u0001\x7F"}, {"\xC1\xBF", "\\ufffd\\ufffd"}, {"\xE0\x9F\xBF", "\\ufffd\\ufffd\\ufffd"},
        {"\xED\xA0\x80", "\\ufffd\\ufffd\\ufffd"}, {"\xF0\x8F\xBF\xBF", "\\ufffd\\ufffd\\ufffd\\ufffd"},
        {"\xF4\x90\x80\x80", "\\ufffd\\ufffd\\ufffd\\ufffd"}, {"\xE2\x82(", "\\ufffd\\ufffd("}};
    for (const auto& [bytes, literal] : json) EXPECT_EQ(JsonString(bytes), "\"" + literal + "\"") << literal;
}

TEST(LogMail, QuestionAtEveryLevelThenTheMessage) {
    const std::string to = "help@example.invalid", sent = "Send email to 'SMTP:" + to + "' attachment file 'C:\\Temp\\Demo Setup.log'\r\n";
    // Address, product, MAPI32.DLL binds, send result: boxes, messages sent, window raised, last entry.
    const std::tuple<std::string, const char*, bool, uint32_t, std::string> cases[] = {
        {"", "Demo", true, 0, "0|0||Can't read email address from ini file.\r\n"},
        {to, "Demo", true, 0, "1|1|Demo|" + sent},
        {to, "", true, 0, "1|1||" + sent},
        {to, "Demo", false, 0, "1|0||Can't load MAPI32.DLL"},
        {to, "Demo", true, 1, "1|1||MAPISendMail(SMTP:" + to + ") failure. Error(1)'Unknown error 0x00000001'."},
    };
    for (const auto& [address, product, binds, result, outcome] : cases) {
        Bench b;
        b.s.uiLevel = UiLevel::Quiet;  // asked at every level
        b.os.mapi.binds = binds, b.os.mapi.sendResult = result;
        b.os.userInterface.answers = {6};
        SendLogFile(b.s, {"C:\\Temp\\Demo Setup.log", address, product, "1.0"});
        const auto entries = b.Entries();
        EXPECT_EQ(Format("%u|%d|%s|", unsigned(b.os.userInterface.shown.size()), b.os.mapi.sent, b.os.mapi.raised.c_str()) +
                      (entries.empty() ? "" : entries.back()), outcome);
    }
}

// The printf conversions of a text, in order.
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
            SCOPED_TRACE(Format("%u/%u", unsigned{language}, unsigned{id}));
            EXPECT_EQ(Conversions(text), Conversions(english.at(id)));
            const bool button = id == 130 || id == 131 || id == 148 || id == 1009;
            EXPECT_EQ(std::count(text.begin(), text.end(), '&'), button ? 1 : 0);
            EXPECT_EQ(Conversions(english.at(id)).find_first_not_of("%s"), std::string::npos) << "only %s";
        }
        EXPECT_EQ(texts.at(128), "BootStrapper") << "the display name is not translated";
    }
}

TEST(StringTable, LoadsTheBlockOfExactlyTheUserLanguageElseTheSystemsChoice) {
    for (uint16_t language : {1041, 1033}) {
        fake::Platform os;
        StringTable strings(os, language);
        std::string expected = "Installation Error";
        for (const auto& s : fake::AllStringResources()) {
            if (s.language == language && s.id == 135) expected = s.utf8;
        }
        EXPECT_EQ(strings.LoadLocalizedString(135), expected) << language;
        EXPECT_EQ(strings.LoadLocalizedString(999), "");
    }
    std::u16string text;
    const std::vector<uint16_t> block = {0, 2, 'h', 'i', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 'z', 1, 'q'};
    EXPECT_TRUE(StringFromBlock(block, 1, &text) && text == u"hi");
    EXPECT_TRUE(StringFromBlock(block, 15, &text) && text == u"z");
    EXPECT_FALSE(StringFromBlock(block, 0, &text)) << "empty entry";
    EXPECT_FALSE(StringFromBlock(block, 16, &text)) << "a block holds 16 entries";
    EXPECT_FALSE(StringFromBlock({0, 5, 'a'}, 1, &text)) << "length beyond the block";
}

}  // namespace
}  // namespace setup
