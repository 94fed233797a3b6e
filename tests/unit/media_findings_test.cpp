// What the media checker finds in a package's summary, and in a setup.ini
// saved as UTF-8 where no code page is known (the Windows checker's case).
#include <gtest/gtest.h>

#include "checker/media_check.h"
#include "checker/media_platform.h"
#include "fake_platform.h"

namespace setup::checker {
namespace {

std::vector<Finding> Check(const std::string& ini, const std::string& package, const fake::Package& facts) {
    fake::Files files;
    files.SetIni(ini);
    files.contents["C:\\Kits\\" + package];
    fake::Installer installer;
    installer.packages["C:\\Kits\\" + package] = facts;
    MediaPlatform os(files, installer, "C:\\Kits\\setup.exe");
    return CheckMedia(os).findings;
}

TEST(MediaFindings, PackagesTheInstallerRefusesOrUsersWithoutRightsDoNotGet) {
    struct Case {
        std::string main, summaryTemplate;
        int32_t schema, wordCount;
        const char* allUsers;
        std::vector<std::string> keys;  // of the findings
    };
    const Case cases[] = {
        {"", "x64;1033", 100, 2, "1", {"MsiPath"}},  // 1620
        {"", "Intel;1033", 100, 2, "1", {}},
        {"", "x64;1033", 200, 10, nullptr, {"AdminNeed"}},  // per user, no elevation asked
        {"AdminNeed=0\n", "x64;1033", 200, 10, nullptr, {}},
        {"MsiProp=REBOOT=R ALLUSERS=1\n", "x64;1033", 200, 10, nullptr, {}},
        {"", "x64;1033", 200, 10, "2", {}},
    };
    for (const Case& c : cases) {
        fake::Package package{{{"ProductCode", "{P}"}, {"ProductVersion", "1.0"}, {"ProductName", "P"}},
                              c.summaryTemplate, c.schema, c.wordCount};
        if (c.allUsers != nullptr) package.properties["ALLUSERS"] = c.allUsers;
        std::vector<std::string> keys;
        for (const Finding& f : Check("[Main]\nMsiPath=p.msi\n" + c.main, "p.msi", package)) keys.push_back(f.key);
        EXPECT_EQ(keys, c.keys) << c.main << c.summaryTemplate << " " << c.schema << " " << c.wordCount;
    }
}

TEST(MediaFindings, Utf8FileWithoutKnowingTheCodePage) {
    const fake::Package package{{{"ProductCode", "{P}"}, {"ProductVersion", "1.0"}, {"ProductName", "P"}}};
    const std::vector<Finding> findings = Check("[Main]\nMsiPath=Pr\xC3\xB6" "dukt.msi\n", "Pr\xC3\xB6" "dukt.msi", package);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].section + findings[0].key, "");
    EXPECT_EQ(findings[0].reason,
              "UTF-8 without a byte-order mark: setup.exe reads it in the ANSI code page, so letters beyond ASCII "
              "change; save it as UTF-16 or keep names ASCII");
    EXPECT_EQ(findings[0].severity, Severity::Warning);
    EXPECT_TRUE(Check("[Main]\nMsiPath=Pr\xF6" "dukt.msi\n", "Pr\xF6" "dukt.msi", package).empty()) << "code page 1252";
}

}  // namespace
}  // namespace setup::checker
