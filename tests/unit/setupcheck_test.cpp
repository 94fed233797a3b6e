// The media checker's own rules: the Linux reading of setup.ini by the
// Windows profile rules, and its table of keys against the program's.
#include <gtest/gtest.h>

#include <set>

#include "checker/media_check.h"
#include "config/component_descriptors.h"
#include "fake_platform.h"

namespace setup {
namespace {

using platform::posix::ProfileFile;
using Names = std::vector<std::string>;

TEST(ProfileFile, ReadsAsTheWindowsProfileFunctions) {
    const std::string utf16 = std::string("\xFF\xFE[\0M\0]\0\r\0\n\0A\0=\0\xE9\0", 18);
    const std::tuple<std::string, const char*, std::string> cases[] = {  // text, section, the value of A
        {"[mAIN]\nA=1\n[main]\nA=2\nB=3\n", "Main", "1"},
        {"[M]\nA=1\nA=2\n", "M", "1"},
        {"  [ M ]  \n\t A \t=  x  y \t\n", "M", "x  y"},
        {"[M]\nA=\"x\"\n", "M", "x"},
        {"[M]\nA=\"a\" b \"c\"\n", "M", "a\" b \"c"},
        {"[M]\n;A=1\n  ;A=2\nA=3\n", "M", "3"},
        {"A=1\n[M]\n", "M", "default"},
        {"[M]\rB=2\rA=1", "M", "1"},
        {"[M]\r\nA=" + std::string(3000, 'x') + "\r\n", "M", std::string(2047, 'x')},
        {"\xEF\xBB\xBF[M]\nA=1\n", "M", "default"},
        {utf16, "M", "\xE9"},  // handed out in code page 1252
    };
    for (const auto& [text, section, value] : cases) {
        EXPECT_EQ(ProfileFile(text).String(section, "A", "default", 2048), value) << text.substr(0, 40);
    }
    EXPECT_EQ(ProfileFile("").String("M", "A", "x \t", 2048), "x") << "the default's trailing blanks";
    const std::pair<std::string, int> numbers[] = {{"A=12abc", 12}, {"A=", 7}, {"A= -3", -3}, {"A=\"5\"", 5}};
    for (const auto& [line, value] : numbers) EXPECT_EQ(ProfileFile("[M]\n" + line).Int("M", "A", 7), value) << line;

    const ProfileFile listed("[S]\nA = \"q\"\n;c\nB\n[T]\nX=1\nY\nx=2\n[s]\nC=3\n");
    EXPECT_EQ(listed.SectionListing("s", 2048), std::string("A=\"q\"\0B\0\0", 9));
    EXPECT_EQ(listed.SectionListing("none", 2048), std::string(1, '\0'));
    const std::string full = ProfileFile("[S]\nA=" + std::string(3000, 'v')).SectionListing("S", 2048);
    EXPECT_EQ(full.size(), 2048u);
    EXPECT_EQ(full.substr(2044), std::string("vv\0\0", 4)) << "cut as the system cuts it";
    EXPECT_EQ(listed.SectionNames(), (Names{"S", "T", "s"}));
    EXPECT_EQ(listed.KeyNames("t"), (Names{"X", "Y", "x"}));
}

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
