#include "config/component_descriptors.h"

#include <gtest/gtest.h>

#include "driver/session.h"
#include "fake_platform.h"

namespace setup {
namespace {

class DescriptorTest : public ::testing::Test {
protected:
    DescriptorTest() : s(os) { s.ctx.logPath = "C:\\Temp\\setup.log"; }
    void Ini(const std::string& text) { os.fileSystem.SetIni("C:\\Kits\\setup.ini", text); }
    std::vector<std::string> Names(const ComponentList& list) {
        std::vector<std::string> names;
        for (const auto& c : list) names.push_back(c.Name);
        return names;
    }
    ComponentList Prerequisites() {
        ComponentList list(3);  // filled with stale entries: the reader empties it
        ReadPrerequisiteList(s, "PreReq%d", list);
        return list;
    }
    fake::Platform os;
    Session s;
};

// A component that is always needed: its file is missing.
const char* const kNeeded = "InstPath=x.msi\nFilePath=C:\\none.dll\n";

TEST_F(DescriptorTest, EnumerationStopsAtTheFirstSectionWithoutName) {
    Ini(std::string("[PreReq0]\nName=A\n") + kNeeded + "[PreReq2]\nName=C\n" + kNeeded);
    EXPECT_EQ(Names(Prerequisites()), std::vector<std::string>{"A"});
    Ini(std::string("[PreReq0]\nInstPath=x\n[PreReq1]\nName=B\n") + kNeeded);
    EXPECT_TRUE(Prerequisites().empty());
}

TEST_F(DescriptorTest, OnlyNeededComponentsAndUninstallStepsAreListed) {
    os.fileSystem.versions["C:\\have.dll"] = {0, 0x00010000, 0};
    Ini(std::string("[PreReq0]\nName=Missing\n") + kNeeded +
        "[PreReq1]\nName=Present\nInstPath=x\nFilePath=C:\\have.dll\n"
        "[PreReq2]\nName=Old\nInstPath=x\nFilePath=C:\\have.dll\nIsUninstall=1\n"
        "[PreReq3]\nName=NoInstaller\nFilePath=C:\\none.dll\n"
        "[PreReq4]\nName=NoProbe\nInstPath=x\n");
    ComponentList list = Prerequisites();
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Missing", "Old"}));
    EXPECT_TRUE(list[1].Present);
}

TEST_F(DescriptorTest, OracleClientOnThePathIsLeftOutAlone) {
    // A Path as long as real machines have, the client's folder last.
    os.sys.environment["Path"] = std::string(8000, 'x') + ";C:\\windows;C:\\oracle\\bin";
    os.fileSystem.contents["C:\\oracle\\bin\\oci.dll"] = "";
    const std::string rest = std::string("[PreReq1]\nName=Other\n") + kNeeded;
    Ini(std::string("[PreReq0]\nName=Oracle Instant Client\n") + kNeeded + rest);
    EXPECT_EQ(Names(Prerequisites()), std::vector<std::string>{"Other"})
        << "later, unrelated sections are still read";
    Ini(std::string("[PreReq0]\nName=oracle instant client\n") + kNeeded + rest);
    EXPECT_EQ(Names(Prerequisites()), (std::vector<std::string>{"oracle instant client", "Other"}));
    os.fileSystem.contents.clear();
    Ini(std::string("[PreReq0]\nName=Oracle Instant Client\n") + kNeeded + rest);
    EXPECT_EQ(Names(Prerequisites()), (std::vector<std::string>{"Oracle Instant Client", "Other"}));
}

TEST_F(DescriptorTest, LibreOfficeRule) {
    struct Case {
        const char* name;
        const char* flag;
        const char* params;
    };
    const Case cases[] = {
        {"Suite with libre office", "1", "/qn REGISTER_NO_MSO_TYPES=1 "},
        {"Suite with libre office", "0", "/qn"},
        {"LibreOffice 7", "1", "/qn"},
    };
    for (const Case& c : cases) {
        Ini(std::string("[PreReq0]\nName=") + c.name + "\n" + kNeeded +
            "InstParams=/qn\nNotAssociateWithMSOfficeFiles=" + c.flag + "\n");
        ComponentList list = Prerequisites();
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].InstParams, c.params) << c.name;
    }
}

TEST_F(DescriptorTest, InstallerFromTheRegistry) {
    using platform::RegistryRoot;
    const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App";
    struct Case {
        const char* regPath;
        std::string stored;
        bool listed;
    };
    const std::string good = std::string("C:\\App\\uninst.exe /x{code}") + '\0';
    const std::vector<Case> cases = {
        {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App\\UninstallString", good, true},
        {"hkey_local_machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App\\UninstallString", good, true},
        {"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App\\UninstallString", good, false},
        {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App\\UninstallString",
         std::string("C:\\App\\uninst.exe") + '\0', false},
        {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App\\UninstallString",
         "C:\\App\\uninst.exe /x", false},  // not text: no terminator
        {"HKEY_LOCAL_MACHINE\\UninstallString", good, false},
        {"HKEY_LOCAL_MACHINE\\Software\\", good, false},
    };
    for (const Case& c : cases) {
        os.reg.values.clear();
        os.reg.Set(RegistryRoot::LocalMachine, key, "UninstallString", c.stored);
        Ini(std::string("[PreReq0]\nName=Old App\nIsUninstall=1\nInstParams=/quiet\nInstRegPath=") +
            c.regPath + "\n");
        ComponentList list = Prerequisites();
        ASSERT_EQ(list.size(), c.listed ? 1u : 0u) << c.regPath;
        if (c.listed) {
            EXPECT_EQ(list[0].InstPath, "C:\\App\\uninst.exe");
            EXPECT_EQ(list[0].InstParams, "C:\\App\\uninst.exe /x{code} /quiet");
        }
    }
}

TEST_F(DescriptorTest, KeysOfAPrerequisite) {
    Ini("[PreReq0]\nName=Client\nUrl=http://example.invalid/client\nInstPath=#Root#\\client.msi\n"
        "InstParams=/i \"#InstPath#\"\nAdminNeed=0\nRunAs=1\nOSbit=3\nOSver=-1002\nKey64=1\n"
        "FilePath=#System#\\client.dll\nFileVer=2.5\nFileTryLoad=0\nChooseDownload=the 32-bit one\n"
        "RegPath5=HKEY_LOCAL_MACHINE\\Software\\C\\V\nRegCond5=DWORD=1\nRegPath=HKEY_LOCAL_MACHINE\\X\n"
        "Optional=0\n");
    ComponentList list = Prerequisites();
    ASSERT_EQ(list.size(), 1u);
    const ComponentDescriptor& c = list[0];
    EXPECT_EQ(c.Url, "http://example.invalid/client");
    EXPECT_EQ(c.InstPath, "C:\\Kits\\client.msi");
    EXPECT_EQ(c.InstParams, "/i \"#InstPath#\"");
    EXPECT_EQ(c.AdminNeed, 0);
    EXPECT_EQ(c.RunAs, 1);
    EXPECT_EQ(c.OSbit, 3);
    EXPECT_EQ(c.OSver, -1002);
    EXPECT_EQ(c.Key64, 1);
    EXPECT_EQ(c.FilePath, "C:\\windows\\syswow64\\client.dll");
    EXPECT_EQ(FormatVersionValue(c.FileVer), "2.5.0.0");
    EXPECT_EQ(c.ChooseDownload, "the 32-bit one");
    ASSERT_EQ(c.RegConditions.size(), 1u) << "a pair with only one half set is ignored";
    EXPECT_EQ(c.RegConditions[0].regPath, "HKEY_LOCAL_MACHINE\\Software\\C\\V");
    EXPECT_EQ(c.optionalState, OptionalState::Unchecked);
    EXPECT_TRUE(c.Selected);
}

TEST_F(DescriptorTest, OptionalStates) {
    struct Case {
        const char* line;
        OptionalState state;
    };
    const Case cases[] = {{"", OptionalState::NoCheckBox},
                          {"Optional=0\n", OptionalState::Unchecked},
                          {"Optional=1\n", OptionalState::Checked},
                          {"Optional=2\n", OptionalState::NoCheckBox}};
    for (const Case& c : cases) {
        Ini(std::string("[PreReq0]\nName=A\n") + kNeeded + c.line);
        ComponentList list = Prerequisites();
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].optionalState, c.state) << c.line;
    }
}

TEST_F(DescriptorTest, ConditionPairsInOrder) {
    Ini("[S]\nRegPath31=p31\nRegCond31=c31\nRegPath=p\nRegCond=c\nRegPath0=p0\nRegCond0=c0\nRegPath32=p32\nRegCond32=c32\n");
    std::vector<RegConditionPair> pairs;
    ReadRegConditions(s, "S", pairs);
    ASSERT_EQ(pairs.size(), 3u);
    EXPECT_EQ(pairs[0].regPath, "p");
    EXPECT_EQ(pairs[1].regPath, "p0");
    EXPECT_EQ(pairs[2].regPath, "p31");
}

TEST_F(DescriptorTest, PostRequisitesAreReadWhole) {
    Ini("[PostReq0]\nName=Readme\nInstPath=#Root#\\readme.exe\nInstParams=/show\nRunAs=1\n"
        "[PostReq1]\nName=Nothing\nInstParams=ignored\n[PostReq3]\nName=Unread\n");
    ComponentList list(2);
    ReadPostRequisiteList(s, "PostReq%d", list);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].InstPath, "C:\\Kits\\readme.exe");
    EXPECT_EQ(list[0].InstParams, "/show");
    EXPECT_EQ(list[0].RunAs, 1);
    EXPECT_EQ(list[1].InstPath, "");
    EXPECT_EQ(list[1].InstParams, "") << "InstParams is read only with an InstPath";
}

}  // namespace
}  // namespace setup
