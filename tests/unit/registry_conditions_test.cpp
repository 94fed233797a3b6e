#include "conditions/registry_conditions.h"

#include <gtest/gtest.h>

#include "driver/session.h"
#include "fake_platform.h"

namespace setup {
namespace {

using platform::RegistryRoot;
using platform::RegistryView;

std::string Dword(uint32_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                       static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
}
std::string Text(const std::string& t) { return t + std::string(1, '\0'); }

class RegCondTest : public ::testing::Test {
protected:
    RegCondTest() : s(os) { s.ctx.logPath = "C:\\Temp\\setup.log"; }
    std::string Log() { return os.Utf16File(s.ctx.logPath); }
    std::vector<std::string> Entries() { return os.LogEntries(s.ctx.logPath); }
    fake::Platform os;
    Session s;
};

TEST_F(RegCondTest, MalformedPairsAreLoggedAndDoNotHold) {
    struct Case {
        const char* path;
        const char* cond;
        const char* entry;
    };
    const Case cases[] = {
        {"", "DWORD=1", "IsValidRegCond() failed. Invalid registry key ''."},
        {"HKEY_LOCAL_MACHINE", "DWORD=1", "IsValidRegCond() failed. Invalid registry key 'HKEY_LOCAL_MACHINE'."},
        {"HKLM\\Software\\X\\Y", "DWORD=1", "IsValidRegCond() failed. Can't find root registry key 'HKLM'."},
        {"HKEY_LOCAL_MACHINE\\Software\\X\\", "DWORD=1",
         "IsValidRegCond() failed. Invalid parameter RegPath='HKEY_LOCAL_MACHINE\\Software\\X\\'."},
        {"HKEY_LOCAL_MACHINE\\Version", "DWORD=1",
         "IsValidRegCond() failed. Invalid parameter RegPath='HKEY_LOCAL_MACHINE\\Version'."},
        {"HKEY_LOCAL_MACHINE\\Software\\X\\V", "QWORD=1",
         "IsValidRegCond() failed. Invalid variable in condition 'QWORD=1'. RegPath='HKEY_LOCAL_MACHINE\\Software\\X\\V'."},
        {"HKEY_LOCAL_MACHINE\\Software\\X\\V", "DWORD >= 1",
         "IsValidRegCond() failed. Invalid operation in condition 'DWORD >= 1'. RegPath='HKEY_LOCAL_MACHINE\\Software\\X\\V'."},
        {"HKEY_LOCAL_MACHINE\\Software\\X\\V", "DWORD<1",
         "IsValidRegCond() failed. Invalid operation in condition 'DWORD<1'. RegPath='HKEY_LOCAL_MACHINE\\Software\\X\\V'."},
    };
    for (const Case& c : cases) {
        os.fileSystem.contents.clear();
        EXPECT_EQ(IsValidRegCond(s, c.path, c.cond, 0), 0) << c.path;
        EXPECT_EQ(Entries(), std::vector<std::string>{c.entry});
    }
}

TEST_F(RegCondTest, ComparisonsByType) {
    const std::string key = "Software\\Vendor\\Runtime";
    const std::string path = "hkey_local_machine\\" + key + "\\Value";
    struct Case {
        std::string stored, cond;
        int holds;
    };
    const std::vector<Case> cases = {
        {Dword(5), "DWORD=5", 1},       {Dword(5), "dword>=1", 1},   {Dword(5), "DWORD>=6", 0},
        {Dword(16), "DWORD=0x10", 0},   {Dword(0), "DWORD=0x10", 1}, {Dword(0xFFFFFFFF), "DWORD>=0", 0},
        {Dword(0xFFFFFFFF), "DWORD=-1", 1},
        {Text("ABD"), "STRING>=abc", 1}, {Text("ABD"), "STRING=abc", 0}, {Text("ABC"), "STRING=abc", 1},
        {Text("ABC"), "STRING>=abc", 1}, {Text("AB"), "STRING>=abc", 0}, {Text(""), "STRING=", 1},
        {Text("10.0"), "VERSION>=9.9", 1},          {Text("4.8"), "VERSION=4.8.0.0", 1},
        {Text("1.2.3.4.5"), "VERSION>=1.2.3.4.6", 1}, {Text("1.2.3.4.5"), "VERSION=1.2.3.4.6", 1},
        {Text("4.0.30319"), "Version=4.0.30319", 1}, {Text("3.5"), "VERSION>=4.0", 0},
        {Text(""), "VERSION=", 0},
    };
    for (const Case& c : cases) {
        os.reg.Set(RegistryRoot::LocalMachine, key, "Value", c.stored);
        EXPECT_EQ(IsValidRegCond(s, path, c.cond, 0), c.holds) << c.cond;
    }
}

TEST_F(RegCondTest, MissingOrOversizedValueLogsTheReadFailure) {
    os.sys.errorTexts[2] = "The system cannot find the file specified.\r\n";
    os.sys.errorTexts[234] = "More data is available.\r\n";
    EXPECT_EQ(IsValidRegCond(s, "HKEY_LOCAL_MACHINE\\Software\\X\\V", "DWORD=1", 0), 0);
    os.reg.Set(RegistryRoot::CurrentUser, "Software\\X", "V", Dword(1) + "more");
    EXPECT_EQ(IsValidRegCond(s, "HKEY_CURRENT_USER\\Software\\X\\V", "DWORD=1", 0), 0);
    os.reg.Set(RegistryRoot::CurrentUser, "Software\\X", "T", std::string(261, 'a'));
    EXPECT_EQ(IsValidRegCond(s, "HKEY_CURRENT_USER\\Software\\X\\T", "STRING>=a", 0), 0);
    EXPECT_EQ(Entries(), (std::vector<std::string>{
        "CRegComparer.GetRegValue(0x80000002, 'Software\\X', 'V') failed. Error(2)'The system cannot find the file specified.'.",
        "IsValidRegCond() failed. Invalid condition 'DWORD=1'. RegPath='HKEY_LOCAL_MACHINE\\Software\\X\\V'.",
        "CRegComparer.GetRegValue(0x80000001, 'Software\\X', 'V') failed. Error(234)'More data is available.'.",
        "IsValidRegCond() failed. Invalid condition 'DWORD=1'. RegPath='HKEY_CURRENT_USER\\Software\\X\\V'.",
        "CRegComparer.GetRegValue(0x80000001, 'Software\\X', 'T') failed. Error(234)'More data is available.'.",
        "IsValidRegCond() failed. Invalid condition 'STRING>=a'. RegPath='HKEY_CURRENT_USER\\Software\\X\\T'.",
    }));
    EXPECT_EQ(os.reg.bufferSizes, (std::vector<size_t>{4, 4, 260}));
}

TEST_F(RegCondTest, Key64ChoosesThe64BitView) {
    os.reg.Set(RegistryRoot::LocalMachine, "Software\\X", "V", Dword(1), RegistryView::View64);
    EXPECT_EQ(IsValidRegCond(s, "HKEY_LOCAL_MACHINE\\Software\\X\\V", "DWORD=1", 1), 1);
    EXPECT_EQ(IsValidRegCond(s, "HKEY_LOCAL_MACHINE\\Software\\X\\V", "DWORD=1", 0), 0);
}

TEST_F(RegCondTest, FirstHoldingPairDecides) {
    os.reg.Set(RegistryRoot::LocalMachine, "Software\\X", "V", Dword(1));
    const std::vector<RegConditionPair> list = {
        {"HKLM\\Software\\X\\V", "DWORD=1"},
        {"HKEY_LOCAL_MACHINE\\Software\\X\\V", "DWORD=1"},
        {"HKEY_LOCAL_MACHINE\\Software\\X\\Missing", "DWORD=1"},
    };
    EXPECT_TRUE(AnyRegCondHolds(s, list, 0));
    EXPECT_EQ(Entries(), std::vector<std::string>{"IsValidRegCond() failed. Can't find root registry key 'HKLM'."})
        << "evaluation stops at the first pair that holds";
    EXPECT_FALSE(AnyRegCondHolds(s, {}, 0));
}

}  // namespace
}  // namespace setup
