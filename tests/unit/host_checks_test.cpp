// Windows names, the minimum Windows of setup.ini and the guard's name.
#include "driver/host_checks.h"

#include <gtest/gtest.h>

#include "diagnostics/text_format.h"

namespace setup {
namespace {

TEST(WindowsDisplayName, NamesAndServicePackText) {
    const std::tuple<uint32_t, uint32_t, uint16_t, uint16_t, const char*> cases[] = {
        {5, 1, 3, 0, "'Windows XP' (Servi\xF1" "e Pack 3)"}, {5, 1, 2, 1, "'Windows XP' (Servi\xF1" "e Pack 2.1)"},
        {5, 1, 0, 4, "'Windows XP'"},  {6, 4, 0, 0, "'Windows 6.4'"},  {10, 5, 0, 0, "'Windows 10'"},
        {5, 0, 0, 0, "'Windows 2000'"}, {5, 2, 0, 0, "'Windows XP 64-Bit'"}, {6, 0, 0, 0, "'Windows Vista'"},
        {6, 1, 0, 0, "'Windows 7'"},   {6, 2, 0, 0, "'Windows 8'"},    {6, 3, 0, 0, "'Windows 8.1'"},
    };
    for (const auto& [major, minor, spMajor, spMinor, text] : cases) {
        EXPECT_EQ(WindowsDisplayName(major, minor, spMajor, spMinor), text);
    }
}

TEST(MinimumWindows, VersionsAndTheEntriesOfInvalidOnes) {
    const std::string invalid = "CheckWinVersion() failed. Invalid version ";
    // MinWinVersion, MinWinServicePack, "major.minor sp spMajor.spMinor" or the entries of invalid values
    const std::tuple<const char*, const char*, std::string> cases[] = {
        {"", "2", "not set"},
        {"5.1", "2", "5.1 sp 2.0"},
        {"5.1", "2.1", "5.1 sp 2.1"},
        {"6", "", "6.0 sp 0.0"},
        {"6.1.7601", "", "6.1 sp 0.0"},
        {"6.x", "", invalid + "'6.x' in variable 'MinWinVersion'.\r\n"},
        {"...", "1.x", invalid + "'...' in variable 'MinWinVersion'.\r\n" + invalid + "'1.x' in variable 'MinWinServicePack'.\r\n"},
        {"6.1", "one", invalid + "'one' in variable 'MinWinServicePack'.\r\n"},
    };
    for (const auto& [version, servicePack, read] : cases) {
        MainSettings main;
        main.MinWinVersion = version;
        main.MinWinServicePack = servicePack;
        const MinimumWindows m = ParseMinimumWindows(main);
        std::string entries;
        for (const std::string& entry : m.errors) entries += entry;
        const std::string set = Format("%u.%u sp %u.%u", m.major, m.minor, unsigned{m.spMajor}, unsigned{m.spMinor});
        EXPECT_EQ(!entries.empty() ? entries : m.set ? set : "not set", read) << version;
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
