#include "diagnostics/localized_strings.h"

#include <gtest/gtest.h>

#include <cstring>

#include "diagnostics/message_boxes.h"
#include "diagnostics/string_ids.h"
#include "driver/session.h"
#include "platform/codes.h"
#include "fake_platform.h"
#include "string_resources.h"

namespace setup {
namespace {

std::string Resource(uint16_t language, uint16_t id) {
    for (const auto& s : testing_support::AllStringResources()) {
        if (s.language == language && s.id == id) return s.utf8;
    }
    return "<missing>";
}

TEST(LoadLocalizedString, TakesTheBlockOfExactlyTheUserLanguage) {
    struct Case {
        uint16_t userLanguage, tableLanguage;
    };
    const Case cases[] = {{1049, 1049}, {1040, 1040}, {1041, 1041},
                          {1033, 0},    {2073, 0},    {2057, 0}};
    for (const Case& c : cases) {
        fake::Platform os;
        os.sys.userLanguage = c.userLanguage;
        StringTable strings(os);
        for (uint16_t id : {ids::kInstallationError, ids::kUsageText, ids::kButtonContinue}) {
            EXPECT_EQ(strings.LoadLocalizedString(id), Resource(c.tableLanguage, id))
                << "language " << c.userLanguage << " id " << id;
        }
    }
}

TEST(LoadLocalizedString, UserLanguageIsTakenOnce) {
    fake::Platform os;
    os.sys.userLanguage = 1049;
    StringTable strings(os);
    strings.LoadLocalizedString(135);
    os.sys.userLanguage = 1040;
    EXPECT_EQ(strings.LoadLocalizedString(135), Resource(1049, 135));
    EXPECT_EQ(os.sys.languageQueries, 1);
}

TEST(LoadLocalizedString, UnknownIdentifierIsEmpty) {
    fake::Platform os;
    StringTable strings(os);
    EXPECT_EQ(strings.LoadLocalizedString(127), "");  // in block 8, which holds 128 and later
    EXPECT_EQ(strings.LoadLocalizedString(5000), "");
    os.sys.userLanguage = 1049;
    StringTable russian(os);
    EXPECT_EQ(russian.LoadLocalizedString(127), "");
}

TEST(StringFromBlock, RejectsMalformedBlocks) {
    std::u16string text;
    std::vector<uint16_t> block(16, 0);
    block[3] = 2;
    block.insert(block.begin() + 4, {u'h', u'i'});
    ASSERT_TRUE(StringFromBlock(block, 3, &text));
    EXPECT_EQ(text, u"hi");
    EXPECT_FALSE(StringFromBlock(block, 2, &text));  // absent entry
    std::vector<uint16_t> truncated = {0, 0, 50, 'x'};
    EXPECT_FALSE(StringFromBlock(truncated, 2, &text));
    EXPECT_FALSE(StringFromBlock(truncated, 9, &text));
    EXPECT_FALSE(StringFromBlock({}, 0, &text));
}

TEST(FormatLocalizedString, FillsPlaceholders) {
    fake::Platform os;
    StringTable strings(os);
    EXPECT_EQ(strings.FormatLocalizedString(ids::kSetupCaption, "Demo", "1.0"), "Demo (1.0) Setup");
    EXPECT_EQ(strings.FormatLocalizedString(ids::kIniNotFound, "C:\\Kits\\setup.ini"),
              "Can't find ini file:\r\n'C:\\Kits\\setup.ini'");
}

TEST(RunMessageBox, LogsAlwaysAndShowsOnlyAtTheFullLevel) {
    for (UiLevel level : {UiLevel::Full, UiLevel::Quiet, UiLevel::Passive}) {
        fake::Platform os;
        Session s(os);
        s.ctx.logPath = "C:\\Temp\\a.log";
        s.ctx.uiLevel = level;
        os.userInterface.answers = {codes::kIdYes};
        int answer = RunMessageBox(s, 0, "Question?", "Caption", codes::kBoxQuestion);
        EXPECT_NE(os.Utf16File(s.ctx.logPath).find("]: Question?\r\n"), std::string::npos);
        if (level == UiLevel::Full) {
            EXPECT_EQ(answer, codes::kIdYes);
            ASSERT_EQ(os.userInterface.shown.size(), 1u);
            EXPECT_EQ(os.userInterface.shown[0].caption, "Caption");
            EXPECT_EQ(os.userInterface.shown[0].flags, 0x24u);
        } else {
            EXPECT_EQ(answer, 1);
            EXPECT_TRUE(os.userInterface.shown.empty());
        }
    }
}

TEST(ErrorMessageBox, LoggedAlwaysShownOnlyAtTheFullLevel) {
    fake::Platform os;
    Session s(os);
    s.ctx.logPath = "C:\\Temp\\a.log";
    s.ctx.uiLevel = UiLevel::Quiet;
    ErrorMessageBox(s, "text");
    EXPECT_TRUE(os.userInterface.shown.empty());
    EXPECT_NE(os.Utf16File(s.ctx.logPath).find("]: text\r\n"), std::string::npos);
    s.ctx.uiLevel = UiLevel::Full;
    ErrorMessageBox(s, "text");
    ASSERT_EQ(os.userInterface.shown.size(), 1u);
    EXPECT_EQ(os.userInterface.shown[0].caption, "Installation Error");
    EXPECT_EQ(os.userInterface.shown[0].flags, 0x10u);
}

TEST(UsageMessageBox, ShownAtEveryLevel) {
    fake::Platform os;
    Session s(os);
    s.ctx.uiLevel = UiLevel::Quiet;
    UsageMessageBox(s);
    ASSERT_EQ(os.userInterface.shown.size(), 1u);
    EXPECT_EQ(os.userInterface.shown[0].caption, "Usage Info");
    EXPECT_EQ(os.userInterface.shown[0].flags, 0x40u);
    EXPECT_EQ(os.userInterface.shown[0].text.rfind("Usage:\n   setup.exe /option", 0), 0u);
}

}  // namespace
}  // namespace setup
