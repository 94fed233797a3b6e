#include "driver/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace setup {
namespace {

std::vector<std::string> Tokens(const std::string& text) {
    std::vector<std::string> out;
    Token t;
    size_t from = 0;
    while (NextToken(text, from, &t)) {
        out.push_back(text.substr(t.start, t.length));
        from = t.End();
    }
    return out;
}

TEST(TokenRule, SplitsAtBlanksAndKeepsQuotes) {
    struct Case {
        std::string text;
        std::vector<std::string> tokens;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {" \t ", {}},
        {"/i /passive ABC=DEF", {"/i", "/passive", "ABC=DEF"}},
        {"PROP=\"a b\"", {"PROP=\"a b\""}},
        {"/a \"D:\\Admin Point\"", {"/a", "\"D:\\Admin Point\""}},
        {"ab\"c d", {"ab\"c", "d"}},                     // quote not after "=": no quoting
        {"\"open ended", {"\"open ended"}},                // quoted to the end of the text
        {"A=\"x\"y B=1", {"A=\"x\"", "y", "B=1"}},       // the closing quote ends the token
        {"A=\"1\" B=\"2 3\"", {"A=\"1\"", "B=\"2 3\""}},
        {"\t/i\t\tX=1", {"/i", "X=1"}},
        {"=\"a b\"", {"=\"a", "b\""}},                     // the first character is never examined
        {"X=", {"X="}},
    };
    for (const Case& c : cases) EXPECT_EQ(Tokens(c.text), c.tokens) << c.text;
}

TEST(TokenRule, QuotedTokenOfTenCharacters) {
    Token t;
    ASSERT_TRUE(NextToken("PROP=\"a b\" rest", 0, &t));
    EXPECT_EQ(t.length, 10u);
    EXPECT_TRUE(t.quoted);
}

TEST(ParseRunMode, OnlyTheFirstTokenCounts) {
    struct Case {
        const char* text;
        RunMode mode;
    };
    const Case cases[] = {
        {"", RunMode::Install},          {"   \t", RunMode::Install},
        {"/i", RunMode::Install},        {"-i /quiet", RunMode::Install},
        {"/I", RunMode::ShowUsage},      {"/a C:\\x", RunMode::AdminInstall},
        {"-A C:\\x", RunMode::AdminInstall}, {"/passive", RunMode::ShowUsage},
        {"/quiet /i", RunMode::ShowUsage}, {"A=1", RunMode::ShowUsage},
        {"\"/i\"", RunMode::ShowUsage},  {"/ix", RunMode::ShowUsage},
        {"i", RunMode::ShowUsage},       {"/x", RunMode::ShowUsage},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseRunMode(c.text), c.mode) << c.text;
}

TEST(ParseUiLevel, FirstDisplayOptionAfterTheSwitchWins) {
    const std::string longName = "/" + std::string(259, 'q');
    struct Case {
        std::string text;
        UiLevel level;
    };
    const std::vector<Case> cases = {
        {"/i", UiLevel::Full},
        {"/i /quiet /passive", UiLevel::Quiet},
        {"/i /passive /quiet", UiLevel::Passive},
        {"/i -QUIET", UiLevel::Quiet},
        {"/i /Passive", UiLevel::Passive},
        {"/quiet", UiLevel::Full},  // the first token is never read
        {"/i /quiet=1", UiLevel::Full},
        {"/i / /quiet", UiLevel::Full},  // a lone "/" stops the walk
        {"/i " + longName + " /quiet", UiLevel::Full},
        {"/i " + std::string("/") + std::string(258, 'x') + " /quiet", UiLevel::Quiet},
        {"/i quiet /unknown -passive", UiLevel::Passive},
        {"/i /xuiet", UiLevel::Full},
        {"/i P=" + std::string(300, 'v') + " /quiet", UiLevel::Quiet},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseUiLevel(c.text), c.level) << c.text.substr(0, 40);
}

TEST(ScanLogOption, TakesTheRestOfTheLineAfterTheOption) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/i /log C:\\Temp\\run.log", "C:\\Temp\\run.log"},
        {"/i /log C:\\Temp\\run.log /quiet", "C:\\Temp\\run.log /quiet"},
        {"/i -LOG \"C:\\My Logs\\a.log\"", "C:\\My Logs\\a.log"},  // one pair of quotes goes
        {"/i /log \"C:\\My Logs\\a.log\" ", "C:\\My Logs\\a.log"},  // blanks around it go first
        {"/i /log  \t\"C:\\My Logs\\a.log\"", "C:\\My Logs\\a.log"},
        {"/i /log \"a.log", "\"a.log"},
        {"/i /log \"\"a.log\"\"", "\"a.log\""},
        {"/i /log", ""},
        {"/i /log ", ""},
        {"/log C:\\x.log", ""},    // the first token is never read
        {"/i /log a.log /log b.log", "b.log"},
        {"/i / /log a.log", ""},   // a lone "/" ends the walk
        {"/i /logfile x", ""},
        {"/i /" + std::string(259, 'x') + " /log a.log", ""},  // too long an option name ends the walk
        {"/i /" + std::string(258, 'x') + " /log a.log", "a.log"},
    };
    for (const auto& c : cases) EXPECT_EQ(ScanLogOption(c.first), c.second) << c.first;
}

TEST(ParseAdminTarget, NeedsExactlyOneTarget) {
    struct Case {
        const char* text;
        uint32_t result;
        const char* target;
    };
    const Case cases[] = {
        {"/a \"D:\\Admin Point\"", 0, "D:\\Admin Point"},
        {"-A C:\\Admin", 0, "C:\\Admin"},
        {"/a C:\\Admin   \t", 0, "C:\\Admin"},
        {"/a", 160, "unchanged"},
        {"/a   ", 160, "unchanged"},
        {"/a C:\\x D:\\y", 160, "unchanged"},
        {"/a D:\\Admin /passive", 160, "unchanged"},
        {"/a D:\\\"odd\"path", 0, "D:\\oddpath"},
    };
    for (const Case& c : cases) {
        std::string target = "unchanged";
        EXPECT_EQ(ParseAdminTarget(c.text, target), c.result) << c.text;
        EXPECT_EQ(target, c.target) << c.text;
    }
}

TEST(CollectPublicProperties, KeepsPropertyTokensInOrder) {
    struct Case {
        std::string text, properties;
    };
    const std::string longToken = "P=" + std::string(1037, 'v');  // 1039 characters
    const std::string limitToken = "P=" + std::string(1036, 'v');  // 1038 characters
    const std::vector<Case> cases = {
        {"/i /passive ABC=DEF INSTALLDIR=\"C:\\My App\"", "ABC=DEF INSTALLDIR=\"C:\\My App\""},
        {"/i A=1 /quiet B=\"x y\"", "A=1 B=\"x y\""},
        {"/i stray word", ""},
        {"A=1 B=2", "B=2"},  // the first token is never collected
        {"/a C:\\x", ""},
        {"/i A=1 " + longToken + " C=3", "A=1"},
        {"/i A=1 " + limitToken, "A=1 " + limitToken},
        {"/i -X=1 Y=", "Y="},
        {"/i /record C:\\a=b.json Y=1", "Y=1"},  // the record's path is no property
        {"/i /record /quiet Y=1", "Y=1"},
    };
    for (const Case& c : cases) EXPECT_EQ(CollectPublicProperties(c.text), c.properties) << c.text.substr(0, 60);
}

TEST(ParseRecordPath, TheTokenAfterTheOption) {
    const std::pair<const char*, const char*> cases[] = {
        {"/i /record C:\\r.json /quiet", "C:\\r.json"}, {"/i -RECORD \"C:\\My Results\\r.json\"", "C:\\My Results\\r.json"},
        {"/i /record", ""}, {"/record C:\\r.json", ""}, {"/i /quiet", ""}, {"/i /recorder x", ""},
        {"/i /record  -x.json", "-x.json"},  // whatever follows, unless nothing does
    };
    for (const auto& c : cases) EXPECT_EQ(ParseRecordPath(c.first), c.second) << c.first;
}

TEST(ParseNoRestart, AnywhereAfterTheSwitchInAnyCase) {
    const std::pair<const char*, bool> cases[] = {
        {"/i /norestart", true}, {"/i /quiet A=1 -NoRestart", true}, {"/norestart", false},
        {"/i /norestarts", false}, {"/i NORESTART=1", false}, {"/i / /norestart", true},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseNoRestart(c.first), c.second) << c.first;
}

}  // namespace
}  // namespace setup
