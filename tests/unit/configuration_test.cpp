#include "config/configuration.h"

#include <gtest/gtest.h>

#include "driver/session.h"
#include "fake_platform.h"

namespace setup {
namespace {

TEST(GetModulePath, FolderFileAndIniPath) {
    struct Case {
        const char* module;
        const char* withoutExtension;
        const char* folder;
        const char* ini;
    };
    const Case cases[] = {
        {"C:\\Kits\\setup.exe", "C:\\Kits\\setup", "C:\\Kits", "C:\\Kits\\setup.ini"},
        {"C:\\Kits\\install.exe", "C:\\Kits\\install", "C:\\Kits", "C:\\Kits\\install.ini"},
        {"C:\\My.Kits\\setup", "C:\\My", "C:\\My.Kits", "C:\\My.ini"},  // last "." anywhere
        {"", "", "", ".ini"},
    };
    for (const Case& c : cases) {
        fake::Platform os;
        os.fileSystem.modulePath = c.module;
        EXPECT_EQ(GetModulePath(os, true, false), c.withoutExtension);
        EXPECT_EQ(GetModulePath(os, false, false), c.folder);
        if (*c.module) {
            EXPECT_EQ(GetModulePath(os, false, true), std::string(c.folder) + "\\");
        }
        EXPECT_EQ(GetIniPath(os), c.ini);
    }
}

class ConfigurationTest : public ::testing::Test {
protected:
    void Ini(const std::string& text) { os.fileSystem.SetIni("C:\\Kits\\setup.ini", text); }
    fake::Platform os;
};

TEST_F(ConfigurationTest, KeysAndDefaults) {
    Ini("[Main]\nMsiPath=demo.msi\nAdminNeed=0\nMsiType=\n");
    EXPECT_EQ(GetIniString(os, "Main", "MsiPath"), "demo.msi");
    EXPECT_EQ(GetIniString(os, "main", "msipath"), "demo.msi");
    EXPECT_EQ(GetIniString(os, "Main", "MsiType", "Install"), "");  // present but empty
    EXPECT_EQ(GetIniString(os, "Main", "Missing", "dflt"), "dflt");
    EXPECT_EQ(GetIniInt(os, "Main", "AdminNeed", 1), 0);
    EXPECT_EQ(GetIniInt(os, "Main", "Os32Need", 0), 0);
    EXPECT_EQ(GetIniInt(os, "Other", "AdminNeed", 1), 1);
}

TEST_F(ConfigurationTest, OptionalPresenceQuirks) {
    struct Case {
        const char* section;
        int result;
    };
    const Case cases[] = {
        {"[PreReq0]\nName=A\n", -1},
        {"[PreReq0]\nName=A\nOptional=0\n", 0},
        {"[PreReq0]\nName=A\n   Optional=1\n", 1},
        {"[PreReq0]\noptional=1\n", -1},      // the test is case-sensitive
        {"[PreReq0]\nOptionalX=0\n", 1},      // present, but the key itself is missing
    };
    for (const Case& c : cases) {
        Ini(c.section);
        EXPECT_EQ(GetIniIntIfPresent(os, "PreReq0", "Optional", 1), c.result) << c.section;
    }
}

TEST_F(ConfigurationTest, OptionalBeyondTheListingLimitCountsAsAbsent) {
    Ini("[PreReq0]\nName=" + std::string(2100, 'n') + "\nOptional=0\n");
    EXPECT_EQ(GetIniIntIfPresent(os, "PreReq0", "Optional", 1), -1);
}

TEST_F(ConfigurationTest, DisplayNameAndVersionFollowThePatchFlag) {
    Ini("[Main]\nName=Patch Name\nVersionTarget=2.0\n");
    Session s(os);
    s.package.productName = "Package Name";
    s.package.productVersion = "1.0";
    EXPECT_EQ(GetProductName(s, true), "Patch Name");
    EXPECT_EQ(GetProductVersion(s, true), "2.0");
    EXPECT_EQ(GetProductName(s, false), "Package Name");
    EXPECT_EQ(GetProductVersion(s, false), "1.0");
}

}  // namespace
}  // namespace setup
