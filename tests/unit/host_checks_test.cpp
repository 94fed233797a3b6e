#include "driver/host_checks.h"

#include <gtest/gtest.h>

#include "driver/session.h"
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
        {5, 1, 3, 0, "'Windows XP' (Servi\xF1" "e Pack 3)"},
        {5, 1, 2, 1, "'Windows XP' (Servi\xF1" "e Pack 2.1)"},
        {5, 1, 0, 4, "'Windows XP'"},  // no service-pack text without a major
        {6, 4, 0, 0, "'Windows 6.4'"},
        {7, 2, 0, 0, "'Windows 7.2'"},
        {10, 5, 0, 0, "'Windows 10'"},
        {5, 0, 0, 0, "'Windows 2000'"},
        {5, 2, 0, 0, "'Windows XP 64-Bit'"},
        {6, 0, 0, 0, "'Windows Vista'"},
        {6, 1, 1, 0, "'Windows 7' (Servi\xF1" "e Pack 1)"},
        {6, 2, 0, 0, "'Windows 8'"},
        {6, 3, 0, 0, "'Windows 8.1'"},
        {11, 0, 0, 0, "'Windows 11.0'"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WindowsDisplayName(c.major, c.minor, c.spMajor, c.spMinor), c.text);
    }
}

class CheckWinVersionTest : public ::testing::Test {
protected:
    CheckWinVersionTest() : s(os) {
        s.ctx.logPath = "C:\\Temp\\run.log";
        os.fileSystem.longPaths["C:\\Temp\\run.log"] = "C:\\Temp\\Long Name\\run.log";
    }
    void Main(const std::string& keys) { os.fileSystem.SetIni("C:\\Kits\\setup.ini", "[Main]\n" + keys); }
    std::string Log() { return os.Utf16File(s.ctx.logPath); }
    std::string Box() {
        return os.userInterface.shown.empty() ? "<none>" : os.userInterface.shown.back().text;
    }

    fake::Platform os;
    Session s;
};

TEST_F(CheckWinVersionTest, OutcomesByRequiredAndRunningVersion) {
    struct Case {
        const char* keys;
        uint32_t major, minor;
        uint16_t spMajor;
        bool passes;
        const char* box;
    };
    const Case cases[] = {
        {"", 5, 0, 0, true, "<none>"},
        {"MinWinVersion=5.1\nMinWinServicePack=2\n", 5, 1, 3, true, "<none>"},
        {"MinWinVersion=5.1\nMinWinServicePack=2\n", 5, 1, 1, false,
         "Can't  itstall product.\r\nProduct can installed on 'Windows XP' (Servi\xF1" "e Pack 2) and above."},
        {"MinWinVersion=6\n", 6, 0, 0, true, "<none>"},
        {"MinWinVersion=6\n", 10, 0, 0, true, "<none>"},
        {"MinWinVersion=6.1\n", 6, 0, 2, false,
         "Can't  itstall product.\r\nProduct can installed on 'Windows 7' and above."},
        {"MinWinVersion=10.5\n", 10, 0, 0, false,
         "Can't  itstall product.\r\nProduct can installed on 'Windows 10' and above."},
        {"MinWinVersion=7.2\n", 6, 1, 0, false,
         "Can't  itstall product.\r\nProduct can installed on 'Windows 7.2' and above."},
        {"MinWinVersion=11\nMinWinMessage=Too old\\r\\nSee readme\n", 10, 0, 0, false,
         "Too old\r\nSee readme"},
        {"MinWinVersion=6.1.7601\n", 6, 1, 0, true, "<none>"},  // further numbers are ignored
    };
    for (const Case& c : cases) {
        os.userInterface.shown.clear();
        Main(c.keys);
        os.sys.major = c.major;
        os.sys.minor = c.minor;
        os.sys.spMajor = c.spMajor;
        EXPECT_EQ(CheckWinVersion(s), c.passes) << c.keys;
        EXPECT_EQ(Box(), c.box) << c.keys;
        if (!os.userInterface.shown.empty()) {
            EXPECT_EQ(os.userInterface.shown.back().caption, "Installation Error");
            EXPECT_EQ(os.userInterface.shown.back().flags, 0x10u);
        }
    }
    // Every refusal is logged too, so that an unattended run says why.
    EXPECT_NE(Log().find("]: Can't  itstall product.\r\nProduct can installed on 'Windows 7' and above.\r\n"),
              std::string::npos) << Log();
    EXPECT_NE(Log().find("]: Too old\r\nSee readme\r\n"), std::string::npos) << Log();
}

TEST_F(CheckWinVersionTest, InvalidValuesAreLoggedAndReportedAsInternalError) {
    const std::string internal =
        "An irrecoverable internal error occured.\r\nLog file:\r\n'C:\\Temp\\Long Name\\run.log'";
    struct Case {
        const char* keys;
        const char* log;
    };
    const Case cases[] = {
        {"MinWinVersion=6.x\n", "Invalid version '6.x' in variable 'MinWinVersion'."},
        {"MinWinVersion=6.1\nMinWinServicePack=one\n",
         "Invalid version 'one' in variable 'MinWinServicePack'."},
        {"MinWinVersion=...\n", "Invalid version '...' in variable 'MinWinVersion'."},
    };
    for (const Case& c : cases) {
        os.fileSystem.contents.erase(s.ctx.logPath);
        os.userInterface.shown.clear();
        Main(c.keys);
        EXPECT_FALSE(CheckWinVersion(s)) << c.keys;
        EXPECT_EQ(Box(), internal);
        EXPECT_NE(Log().find(std::string("]: CheckWinVersion() failed. ") + c.log + "\r\n"),
                  std::string::npos)
            << Log();
    }
    // Only the service pack is named when only it is invalid.
    Main("MinWinVersion=6.1\nMinWinServicePack=x\n");
    os.fileSystem.contents.erase(s.ctx.logPath);
    CheckWinVersion(s);
    EXPECT_EQ(Log().find("MinWinVersion"), std::string::npos);
}

TEST_F(CheckWinVersionTest, UnattendedRefusalShowsNothing) {
    s.ctx.uiLevel = UiLevel::Quiet;
    Main("MinWinVersion=11\n");
    EXPECT_FALSE(CheckWinVersion(s));
    EXPECT_TRUE(os.userInterface.shown.empty());
}

TEST(SingleInstance, SecondGuardForTheSameSuffixIsRefused) {
    fake::Platform os;
    std::unique_ptr<platform::Held> first, second, other;
    EXPECT_FALSE(AcquireSingleInstance(os, "demo.msi", first));
    EXPECT_TRUE(AcquireSingleInstance(os, "demo.msi", second));
    EXPECT_FALSE(AcquireSingleInstance(os, "other.msi", other));
    EXPECT_EQ(os.sys.mutexes.count("Global\\_KESETUP_{242BA512-C2FD-4f14-B947-E0D6B9D288DE}demo.msi"),
              1u);
    first.reset();
    second.reset();
    EXPECT_FALSE(AcquireSingleInstance(os, "demo.msi", first)) << "released with its handle";
}

TEST(SingleInstance, BackslashesInTheSuffixKeepTheNameValid) {
    EXPECT_EQ(SingleInstanceName("packages\\product.msi"),
              "Global\\_KESETUP_{242BA512-C2FD-4f14-B947-E0D6B9D288DE}packages/product.msi");
    EXPECT_EQ(SingleInstanceName("demo.msi"),
              "Global\\_KESETUP_{242BA512-C2FD-4f14-B947-E0D6B9D288DE}demo.msi");
}

TEST(SingleInstance, OverlongSuffixIsNamedByItsHash) {
    const std::string prefix = "Global\\_KESETUP_{242BA512-C2FD-4f14-B947-E0D6B9D288DE}";
    const std::string longest = std::string(259 - prefix.size(), 'p');
    EXPECT_EQ(SingleInstanceName(longest), prefix + longest);
    const std::string a = SingleInstanceName(std::string(10000, 'a'));
    const std::string b = SingleInstanceName(std::string(9999, 'a') + "b");
    EXPECT_LT(a.size(), 260u);
    EXPECT_NE(a, b);
    EXPECT_EQ(a, SingleInstanceName(std::string(10000, 'a')));
    EXPECT_EQ(a.find('\\', 7), std::string::npos);
}

TEST(SingleInstance, GuardThatCannotBeCreatedCountsAsAnotherInstance) {
    fake::Platform os;
    os.sys.invalidMutexNames.insert(SingleInstanceName("x"));
    std::unique_ptr<platform::Held> guard;
    EXPECT_TRUE(AcquireSingleInstance(os, "x", guard));
}

TEST(HostFacts, ArchitectureAndWindowsVersion) {
    fake::Platform os;
    os.sys.architecture = 0;
    EXPECT_TRUE(IsNativeX86(os));
    os.sys.architecture = 9;
    EXPECT_FALSE(IsNativeX86(os));
    os.sys.architecture = 12;  // ARM64
    EXPECT_FALSE(IsNativeX86(os));
    os.sys.major = 4;
    EXPECT_FALSE(IsWindows5OrLater(os));
    os.sys.major = 5;
    EXPECT_TRUE(IsWindows5OrLater(os));
    os.sys.versionFails = true;
    EXPECT_FALSE(IsWindows5OrLater(os));
}

}  // namespace
}  // namespace setup
