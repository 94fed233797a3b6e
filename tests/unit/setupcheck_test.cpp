// The media checker's own rules: the Linux reading of setup.ini by the
// Windows profile rules, its table of keys against the program's, and
// whether the detection report's run gets to the prerequisites.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "checker/detection_report.h"
#include "checker/media_check.h"
#include "config/component_descriptors.h"
#include "config/configuration.h"
#include "fake_platform.h"
#include "linux/profile_file.h"

namespace setup {
namespace {

using platform::posix::ProfileFile;
using Names = std::vector<std::string>;

TEST(ProfileFile, ReadsAsTheWindowsProfileFunctions) {
    struct Case {
        std::string text, section, key, value;
    };
    const std::string utf16 = std::string("\xFF\xFE[\0M\0]\0\r\0\n\0A\0=\0\xE9\0", 18);
    const std::vector<Case> cases = {
        {"[Main]\nMsiPath=a.msi\n", "Main", "MsiPath", "a.msi"},
        {"[mAIN]\nmsipath=a\n", "MAIN", "MsiPath", "a"},
        {"[Main]\nA=1\n[main]\nA=2\nB=3\n", "Main", "A", "1"},
        {"[Main]\nA=1\n[main]\nA=2\nB=3\n", "Main", "B", "default"},
        {"[Main]\nA=1\nA=2\n", "Main", "A", "1"},
        {"  [ Main ]  \n\t A \t=  x  y \t\n", "Main", "A", "x  y"},
        {"[M]\nA=\"x\"\n", "M", "A", "x"},
        {"[M]\nA='x'\n", "M", "A", "x"},
        {"[M]\nA=\"a\" b \"c\"\n", "M", "A", "a\" b \"c"},
        {"[M]\nA=\"x\n", "M", "A", "\"x"},
        {"[M]\nA=\"x'\n", "M", "A", "\"x'"},
        {"[M]\n;A=1\n  ;A=2\nA=3\n", "M", "A", "3"},
        {"[M]\nA\n", "M", "A", ""},
        {"A=1\n[M]\n", "M", "A", "default"},
        {"[M]\rA=1\rB=2", "M", "B", "2"},
        {"[M]\r\nA=" + std::string(3000, 'x') + "\r\n", "M", "A", std::string(2047, 'x')},
        {"[M] trailing text\nA=1\n", "M", "A", "1"},
        {"\xEF\xBB\xBF[M]\nA=1\n", "M", "A", "default"},
        {utf16, "M", "A", "\xE9"},  // handed out in code page 1252
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProfileFile(c.text).String(c.section, c.key, "default", 2048), c.value)
            << c.text.substr(0, 40);
    }
    EXPECT_EQ(ProfileFile("").String("M", "A", "x \t", 2048), "x") << "the default's trailing blanks";

    const std::pair<std::string, int> numbers[] = {
        {"A=12abc", 12}, {"A=", 7}, {"B=1", 7}, {"A= -3", -3}, {"A=\"5\"", 5}, {"A=x", 0}};
    for (const auto& n : numbers) {
        EXPECT_EQ(ProfileFile("[M]\n" + n.first).Int("M", "A", 7), n.second) << n.first;
    }

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
        void Note(const std::string& section, const std::string& key) {
            asked[section.substr(0, section.find_first_of("0123456789"))].insert(key);
        }
        std::string IniString(const std::string& section, const std::string& key,
                              const std::string& fallback, const std::string& file) override {
            Note(section, key);
            return fake::Files::IniString(section, key, fallback, file);
        }
        int IniInt(const std::string& section, const std::string& key, int fallback,
                   const std::string& file) override {
            Note(section, key);
            return fake::Files::IniInt(section, key, fallback, file);
        }
    };
    struct Recording : fake::Platform {
        Recorder recorder;
        platform::Files& files() override { return recorder; }
    } os;
    os.reg.Set("Software\\Old", "Uninstall", std::string("C:\\old.exe /x\0", 14));
    // Every branch of the readers: an installer of its own (of an office
    // suite) and one from the registry, with Optional.
    os.recorder.SetIni(
        "[PreReq0]\nName=Libre Office\nInstPath=x.msi\nOptional=1\n"
        "[PreReq1]\nName=Old\nInstRegPath=HKEY_LOCAL_MACHINE\\Software\\Old\\Uninstall\n"
        "[PostReq0]\nName=Notes\nInstPath=n.exe\n");
    const IniFile ini(os.recorder, "C:\\Kits\\setup.ini");
    ReadMainSettings(ini);
    ASSERT_EQ(ReadPrerequisiteList(ini, PathMacros()).size(), 2u);
    ReadPostRequisiteList(ini, PathMacros());
    for (const char* pattern : {kMainSection, kPrerequisiteSections, kPostRequisiteSections}) {
        const Names known = checker::KnownKeys(pattern);
        const std::string kind = std::string(pattern).substr(0, std::string(pattern).find('%'));
        EXPECT_EQ(os.recorder.asked[kind], std::set<std::string>(known.begin(), known.end())) << kind;
    }
}

TEST(DetectionReport, ListsAndInstallsOnlyWhereSetupLooksForPrerequisites) {
    struct Case {
        const char* ini;
        std::function<void(fake::Platform&)> machine;
        const char* stage;
    };
    const auto installed = [](const char* version) {
        return [version](fake::Platform& os) {
            os.msi.productStates["{C0DE}"] = 5;
            os.msi.installedVersions["{C0DE}"] = version;
        };
    };
    const Case cases[] = {
        {"", nullptr, "run: a fresh install"},
        {"", installed("0.9"), "run: before the upgrade"},
        {"UpdateDisable=1\n", installed("0.9"), "not run: upgrades are disabled"},
        {"", installed("1.0"), "not run: the product is installed"},
        {"MsiPatch=1\n", nullptr, "not run: a patch"},
        {"", [](fake::Platform& os) { os.sys.administrator = false; }, "not run: not an administrator"},
        {"MinWinVersion=99\n", nullptr, "not run: MinWinVersion not met"},
        {"", [](fake::Platform& os) { os.msi.packages.clear(); }, "not run: the package cannot be read"},
        {"MsiType=Bogus\n", nullptr, "not run: MsiType 'Bogus' does not fit the package"},
        {"", [](fake::Platform& os) { os.sys.major = 4; }, "not run: Windows before 2000"},
    };
    for (const Case& c : cases) {
        fake::Platform os;
        os.msi.packages["C:\\Kits\\demo.msi"].properties = {{"ProductCode", "{C0DE}"}, {"ProductVersion", "1.0"},
                                                          {"ProductName", "Demo"}};
        os.fileSystem.contents["C:\\Kits\\demo.msi"];
        os.fileSystem.SetIni(std::string("[Main]\nMsiPath=demo.msi\n") + c.ini +
                             "[PreReq0]\nName=R\nInstPath=r.exe\nFilePath=C:\\none.dll\n");
        if (c.machine) c.machine(os);
        const checker::DetectionReport report = checker::Detect(os);
        const bool runs = std::string(c.stage).rfind("run:", 0) == 0;
        EXPECT_EQ(report.prerequisites, c.stage);
        ASSERT_EQ(report.rules.size(), 1u);
        EXPECT_EQ(report.rules[0].verdict, "missing") << c.stage;
        EXPECT_EQ(report.rules[0].offered, runs) << c.stage;
        EXPECT_EQ(report.rules[0].installs, runs) << c.stage;
    }
}

}  // namespace
}  // namespace setup
