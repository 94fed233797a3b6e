// The command line read into its parts: the token rule and each reader's
// rules, the others read alongside.
#include "driver/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace setup {
namespace {

// What differs from a plain install at the full level.
std::string Describe(const CommandLine& c) {
    const char* mode[] = {"install", "usage", "admin"};
    std::string text = mode[static_cast<int>(c.mode)];
    if (c.uiLevel != UiLevel::Full) text += c.uiLevel == UiLevel::Quiet ? ", quiet" : ", passive";
    if (c.mode == RunMode::AdminInstall) text += c.adminTargetValid ? ", to " + c.adminTarget : ", no target";
    if (!c.logPath.empty()) text += ", log " + c.logPath;
    if (!c.properties.empty()) text += ", properties " + c.properties;
    if (!c.recordPath.empty()) text += ", record " + c.recordPath;
    return text + (c.noRestart ? ", no restart" : "");
}

TEST(ParseCommandLine, EachReaderWalksTheTokensByItsOwnRules) {
    const std::string x258 = "/" + std::string(258, 'x'), x259 = "/" + std::string(259, 'x');
    const std::string tooLong = "P=" + std::string(1037, 'v'), longest = "P=" + std::string(1036, 'v');
    const std::pair<std::string, std::string> cases[] = {
        // The operation: the first token alone.
        {"   \t", "install"}, {"-i /quiet", "install, quiet"}, {"/I", "usage"}, {"/quiet /i", "usage"},
        {"\"/i\"", "usage"}, {"/ix", "usage"},
        // The display option: the first after the switch.
        {"/i /quiet /passive", "install, quiet"}, {"/i /passive /quiet", "install, passive"},
        {"/i / /quiet", "install"}, {"/i " + x259 + " /quiet", "install"},
        {"/i " + x258 + " /quiet", "install, quiet"}, {"/i quiet /unknown -passive", "install, passive"},
        {"/i P=" + std::string(300, 'v') + " /quiet", "install, quiet, properties P=" + std::string(300, 'v')},
        // The log: the rest of the line, blanks and one pair of quotes dropped.
        {"/i /log C:\\Temp\\run.log /quiet", "install, quiet, log C:\\Temp\\run.log /quiet"},
        {"/i -LOG \"C:\\My Logs\\a.log\"", "install, log C:\\My Logs\\a.log"},
        {"/i /log \"a.log", "install, log \"a.log"}, {"/i /log \"\"a.log\"\"", "install, log \"a.log\""},
        {"/i /log", "install"}, {"/i /log \"\"", "install"}, {"/log C:\\x.log", "usage"},
        {"/i /log a.log /log b.log", "install, log b.log"}, {"/i / /log a.log", "install"},
        // The administrative target: exactly one token.
        {"/a \"D:\\Admin Point\"", "admin, to D:\\Admin Point"}, {"/a", "admin, no target"},
        {"/a C:\\x D:\\y", "admin, no target"},
        {"/a D:\\Admin /passive", "admin, passive, no target"}, {"/a D:\\\"odd\"path", "admin, to D:\\oddpath"},
        // Tokens end at blanks, or at the quote that closes a quote after "=".
        {"/i ab\"c d=1", "install, properties d=1"}, {"/i A=\"open ended", "install, properties A=\"open ended"},
        {"/i A=\"x\"y B=1", "install, properties A=\"x\" B=1"},
        {"/i =\"a b\"", "install, properties =\"a"},  // the first character is never examined
        // Public properties, in order.
        {"A=1 B=2", "usage, properties B=2"}, {"/i A=1 " + tooLong + " C=3", "install, properties A=1"},
        {"/i A=1 " + longest, "install, properties A=1 " + longest}, {"/i -X=1 Y=", "install, properties Y="},
        {"/i /record C:\\a=b.json Y=1", "install, properties Y=1, record C:\\a=b.json"},
        // The record: the token after the option, whatever it is.
        {"/i /record C:\\r.json /quiet", "install, quiet, record C:\\r.json"}, {"/i /record", "install"},
        {"/i -RECORD \"C:\\My Results\\r.json\"", "install, record C:\\My Results\\r.json"},
        // No restart: anywhere after the switch, in any case.
        {"/i /quiet A=1 -NoRestart", "install, quiet, properties A=1, no restart"},
    };
    for (const auto& [text, parts] : cases) EXPECT_EQ(Describe(ParseCommandLine(text)), parts) << text.substr(0, 60);
    Token t;
    ASSERT_TRUE(NextToken("PROP=\"a b\" rest", 0, &t));
    EXPECT_TRUE(t.quoted && t.length == 10u);
}

}  // namespace
}  // namespace setup
