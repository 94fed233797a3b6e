#include "driver/host_checks.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace setup {
namespace {

TEST(WindowsDisplayName, NamesAndServicePackText) {
    struct Case {
        uint32_t major, minor;
        uint16_t spMajor, spMinor;
        const char* text;
    };
    const Case cases[] = {
        {5, 1, 3, 0, "'Windows XP' (Servi\xF1" "e Pack 3)"}, {5, 1, 2, 1, "'Windows XP' (Servi\xF1" "e Pack 2.1)"},
        {5, 1, 0, 4, "'Windows XP'"},  {6, 4, 0, 0, "'Windows 6.4'"},  {10, 5, 0, 0, "'Windows 10'"},
        {5, 0, 0, 0, "'Windows 2000'"}, {5, 2, 0, 0, "'Windows XP 64-Bit'"}, {6, 0, 0, 0, "'Windows Vista'"},
        {6, 1, 0, 0, "'Windows 7'"},   {6, 2, 0, 0, "'Windows 8'"},    {6, 3, 0, 0, "'Windows 8.1'"},
    };
    for (const Case& c : cases) EXPECT_EQ(WindowsDisplayName(c.major, c.minor, c.spMajor, c.spMinor), c.text);
}

TEST(CheckWinVersion, RequiredAgainstRunningVersion) {
    const std::string internal = "An irrecoverable internal error occured.\r\nLog file:\r\n'C:\\Long\\run.log'";
    struct Case {
        const char* version;
        const char* servicePack;
        const char* message;
        uint32_t major, minor;
        uint16_t spMajor;
        std::string box;  // empty: passes
        const char* log;  // an entry of the refusal
    };
    const Case cases[] = {
        {"", "", "", 5, 0, 0, "", nullptr},
        {"5.1", "2", "", 5, 1, 3, "", nullptr},
        {"5.1", "2", "", 5, 1, 1, "Can't  itstall product.\r\nProduct can installed on 'Windows XP' (Servi\xF1" "e Pack 2) and above.", nullptr},
        {"5.1", "2.1", "", 5, 1, 2, "Can't  itstall product.\r\nProduct can installed on 'Windows XP' (Servi\xF1" "e Pack 2.1) and above.", nullptr},
        {"6", "", "", 10, 0, 0, "", nullptr},
        {"6", "", "", 6, 0, 0, "", nullptr},
        {"6.1", "", "", 6, 0, 2, "Can't  itstall product.\r\nProduct can installed on 'Windows 7' and above.", nullptr},
        {"6.1.7601", "", "", 6, 1, 0, "", nullptr},
        {"11", "", "Too old\\r\\nSee readme", 10, 0, 0, "Too old\r\nSee readme", "Too old\r\nSee readme\r\n"},
        {"6.x", "", "", 10, 0, 0, internal, "CheckWinVersion() failed. Invalid version '6.x' in variable 'MinWinVersion'.\r\n"},
        {"...", "", "", 10, 0, 0, internal, "CheckWinVersion() failed. Invalid version '...' in variable 'MinWinVersion'.\r\n"},
        {"6.1", "one", "", 10, 0, 0, internal, "CheckWinVersion() failed. Invalid version 'one' in variable 'MinWinServicePack'.\r\n"},
        {"6.1", "1.x", "", 10, 0, 0, internal, "CheckWinVersion() failed. Invalid version '1.x' in variable 'MinWinServicePack'.\r\n"},
    };
    for (const Case& c : cases) {
        fake::Bench b;
        fake::Platform& os = b.os;
        os.sys.major = c.major;
        os.sys.minor = c.minor;
        os.sys.spMajor = c.spMajor;
        os.fileSystem.longPaths[b.logPath] = "C:\\Long\\run.log";
        MainSettings main;
        main.MinWinVersion = c.version;
        main.MinWinServicePack = c.servicePack;
        main.MinWinMessage = c.message;
        EXPECT_EQ(CheckWinVersion(b.s, main, b.logPath), c.box.empty()) << c.version;
        ASSERT_EQ(os.userInterface.shown.size(), c.box.empty() ? 0u : 1u) << c.version;
        if (c.box.empty()) continue;
        EXPECT_EQ(os.userInterface.shown[0].text, c.box);
        EXPECT_EQ(os.userInterface.shown[0].caption, "Installation Error");
        const auto entries = b.Entries();
        if (c.log) { EXPECT_EQ(entries.at(0), c.log); }
        EXPECT_EQ(entries.back().rfind(c.box.substr(0, 20), 0), 0u) << "the refusal is logged";
    }
}

TEST(SingleInstance, GuardNamesAndExclusion) {
    const std::string prefix = "Global\\_KESETUP_{242BA512-C2FD-4f14-B947-E0D6B9D288DE}";
    EXPECT_EQ(SingleInstanceName("packages\\product.msi"), prefix + "packages/product.msi");
    const std::string longest(259 - prefix.size(), 'p');
    EXPECT_EQ(SingleInstanceName(longest), prefix + longest);
    const std::string hashed = SingleInstanceName(longest + "p");
    EXPECT_EQ(hashed.substr(0, prefix.size() + 1), prefix + "#");
    EXPECT_EQ(hashed.size(), prefix.size() + 17);
    EXPECT_NE(hashed, SingleInstanceName(longest + "q"));

    fake::Platform os;
    std::unique_ptr<platform::Held> first, second, other;
    EXPECT_FALSE(AcquireSingleInstance(os, "demo.msi", first));
    EXPECT_TRUE(AcquireSingleInstance(os, "demo.msi", second));
    EXPECT_FALSE(AcquireSingleInstance(os, "other.msi", other));
    first.reset();
    EXPECT_FALSE(AcquireSingleInstance(os, "demo.msi", first)) << "released with its handle";
}

TEST(HostFacts, ArchitectureAndWindowsVersion) {
    fake::Platform os;
    const std::pair<uint16_t, bool> architectures[] = {{0, true}, {9, false}, {12, false}};
    for (const auto& a : architectures) {
        os.sys.architecture = a.first;
        EXPECT_EQ(IsNativeX86(os), a.second);
    }
    os.sys.major = 4;
    EXPECT_FALSE(IsWindows5OrLater(os));
    os.sys.major = 5;
    EXPECT_TRUE(IsWindows5OrLater(os));
    os.sys.versionFails = true;
    EXPECT_FALSE(IsWindows5OrLater(os));
}

}  // namespace
}  // namespace setup
