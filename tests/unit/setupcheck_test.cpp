// The media checker's table of keys against the program's readers.
#include <gtest/gtest.h>

#include <set>

#include "checker/media_check.h"
#include "config/component_descriptors.h"
#include "fake_platform.h"

namespace setup {
namespace {

using Names = std::vector<std::string>;

// The checker knows exactly the keys that the program's readers ask for,
// so that a key added to the program is not reported as unknown.
TEST(MediaChecker, KnowsTheKeysTheProgramReads) {
    struct Recorder : fake::Files {
        std::map<std::string, std::set<std::string>> asked;  // by section, less its number
        std::string IniString(const std::string& section, const std::string& key, const std::string& fallback,
                              const std::string& file) override {
            asked[section.substr(0, section.find_first_of("0123456789"))].insert(key);
            return fake::Files::IniString(section, key, fallback, file);
        }
        int IniInt(const std::string& section, const std::string& key, int fallback, const std::string& file) override {
            asked[section.substr(0, section.find_first_of("0123456789"))].insert(key);
            return fake::Files::IniInt(section, key, fallback, file);
        }
    } files;
    // Every branch of the readers: an installer of its own (of an office
    // suite) and one from the registry, with Optional.
    files.SetIni("[PreReq0]\nName=Libre Office\nInstPath=x.msi\nOptional=1\n"
                 "[PreReq1]\nName=Old\nInstRegPath=HKEY_LOCAL_MACHINE\\Software\\Old\\Uninstall\n"
                 "[PostReq0]\nName=Notes\nInstPath=n.exe\n");
    const IniFile ini(files, "C:\\Kits\\setup.ini");
    ReadMainSettings(ini);
    ASSERT_EQ(ReadPrerequisiteList(ini, PathMacros()).size(), 2u);
    ReadPostRequisiteList(ini, PathMacros());
    for (const char* pattern : {kMainSection, kPrerequisiteSections, kPostRequisiteSections}) {
        const Names known = checker::KnownKeys(pattern);
        const std::string kind = std::string(pattern).substr(0, std::string(pattern).find('%'));
        EXPECT_EQ(files.asked[kind], std::set<std::string>(known.begin(), known.end())) << kind;
    }
}

}  // namespace
}  // namespace setup
