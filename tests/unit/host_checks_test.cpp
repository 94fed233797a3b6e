#include "driver/host_checks.h"

#include <gtest/gtest.h>


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

TEST(MinimumWindows, VersionsAndTheEntriesOfInvalidOnes) {
    struct Case {
        const char* version;
        const char* servicePack;
        std::string read;  // "major.minor sp spMajor.spMinor", or the entries of the invalid values
    };
    const std::string invalid = "CheckWinVersion() failed. Invalid version ";
    const Case cases[] = {
        {"", "2", "not set"},
        {"5.1", "2", "5.1 sp 2.0"},
        {"5.1", "2.1", "5.1 sp 2.1"},
        {"6", "", "6.0 sp 0.0"},
        {"6.1.7601", "", "6.1 sp 0.0"},
        {"6.x", "", invalid + "'6.x' in variable 'MinWinVersion'.\r\n"},
        {"...", "1.x", invalid + "'...' in variable 'MinWinVersion'.\r\n" + invalid + "'1.x' in variable 'MinWinServicePack'.\r\n"},
        {"6.1", "one", invalid + "'one' in variable 'MinWinServicePack'.\r\n"},
    };
    for (const Case& c : cases) {
        MainSettings main;
        main.MinWinVersion = c.version;
        main.MinWinServicePack = c.servicePack;
        const MinimumWindows m = ParseMinimumWindows(main);
        std::string read;
        for (const std::string& entry : m.errors) read += entry;
        if (read.empty()) {
            read = m.set ? std::to_string(m.major) + "." + std::to_string(m.minor) + " sp " +
                               std::to_string(m.spMajor) + "." + std::to_string(m.spMinor)
                         : "not set";
        }
        EXPECT_EQ(read, c.read) << c.version;
    }
}

TEST(SingleInstance, GuardNames) {
    const std::string prefix = "Global\\_KESETUP_{242BA512-C2FD-4f14-B947-E0D6B9D288DE}";
    EXPECT_EQ(SingleInstanceName("packages\\product.msi"), prefix + "packages/product.msi");
    const std::string longest(259 - prefix.size(), 'p');
    EXPECT_EQ(SingleInstanceName(longest), prefix + longest);
    const std::string hashed = SingleInstanceName(longest + "p");
    EXPECT_EQ(hashed.substr(0, prefix.size() + 1), prefix + "#");
    EXPECT_EQ(hashed.size(), prefix.size() + 17);
    EXPECT_NE(hashed, SingleInstanceName(longest + "q"));
}

}  // namespace
}  // namespace setup
