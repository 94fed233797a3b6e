#include "driver/run.h"

#include <gtest/gtest.h>

#include "driver/host_checks.h"
#include "fake_platform.h"
#include "platform/codes.h"

namespace setup {
namespace {

const std::string kIni = "C:\\Kits\\setup.ini";
const std::string kPackage = "C:\\Kits\\demo.msi";
const std::string kDefaultLog = "C:\\Temp\\Demo Setup (2025.03.07 09.05).log";

class RunTest : public ::testing::Test {
protected:
    RunTest() {
        fake::Package p;
        p.properties = {{"ProductCode", "{C0DE}"}, {"ProductVersion", "1.0"}, {"ProductName", "Demo"}};
        os.msi.packages[kPackage] = p;
        os.fileSystem.contents[kPackage] = "package";
        Ini("MsiPath=demo.msi\n");
    }
    void Ini(const std::string& mainKeys) { os.fileSystem.SetIni(kIni, "[Main]\n" + mainKeys); }
    int RunWith(const std::string& commandLine) { return setup::Run(os, commandLine); }
    std::string Log(const std::string& path = kDefaultLog) { return os.Utf16File(path); }
    bool Logged(const std::string& text, const std::string& path = kDefaultLog) {
        return Log(path).find("]: " + text) != std::string::npos;
    }
    const std::vector<fake::ShownBox>& Boxes() { return os.userInterface.shown; }

    fake::Platform os;
};

TEST_F(RunTest, MissingConfigurationFileShowsItsPathAtEveryLevel) {
    os.fileSystem.contents.erase(kIni);
    for (const char* commandLine : {"", "/i /quiet"}) {
        os.userInterface.shown.clear();
        EXPECT_EQ(RunWith(commandLine), 3);
        ASSERT_EQ(Boxes().size(), 1u);
        EXPECT_EQ(Boxes()[0].text, "Can't find ini file:\r\n'C:\\Kits\\setup.ini'");
        EXPECT_EQ(Boxes()[0].caption, "Installation Error");
        EXPECT_EQ(Boxes()[0].flags, 0x10u);
    }
    EXPECT_EQ(os.fileSystem.contents.size(), 1u) << "no log file";
}

TEST_F(RunTest, ConfigurationPathOf260CharactersCountsAsAbsent) {
    const std::string folder = "C:\\" + std::string(250, 'd');
    os.fileSystem.modulePath = folder + "\\setup.exe";
    os.fileSystem.SetIni(folder + "\\setup.ini", "[Main]\n");
    EXPECT_EQ(RunWith("/i"), 3);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text.rfind("Can't find ini file:", 0), 0u);
}

TEST_F(RunTest, UnreadablePackageShowsItsPathEvenWhenQuiet) {
    struct Case {
        const char* keys;
        bool libraryComplete;
        const char* path;
    };
    const Case cases[] = {
        {"MsiPath=missing.msi\n", true, "C:\\Kits\\missing.msi"},
        {"", true, "C:\\Kits\\"},
        {"MsiPath=demo.msi\n", false, "C:\\Kits\\demo.msi"},
    };
    for (const Case& c : cases) {
        os.userInterface.shown.clear();
        os.msi.complete = c.libraryComplete;
        Ini(c.keys);
        EXPECT_EQ(RunWith("/i /quiet"), 3);
        ASSERT_EQ(Boxes().size(), 1u) << c.keys;
        EXPECT_EQ(Boxes()[0].text, std::string("Can't read installation property from file:\n'") +
                                       c.path + "'.");
    }
}

TEST_F(RunTest, PackagePlatformAgainstNativeX86) {
    struct Case {
        uint16_t architecture;
        const char* summaryTemplate;
        bool refused;
    };
    const Case cases[] = {
        {0, "x64;1033", true},   {0, "Intel64;1033", true}, {0, "Intel;1033", false},
        {0, "x64", false},       {0, ";x64", false},        {0, "64;1033", true},
        {0, "4;1033", false},    {9, "x64;1033", false},    {0, "X64;1033", true},
        {0, "Arm64;1033", true}, {0, "x6;1033", false},
    };
    for (const Case& c : cases) {
        os.userInterface.shown.clear();
        os.sys.architecture = c.architecture;
        os.msi.packages[kPackage].summaryTemplate = c.summaryTemplate;
        RunWith("/i /quiet");
        const bool shown = !Boxes().empty() &&
                           Boxes()[0].text == "This installation package is not supported by this processor type.";
        EXPECT_EQ(shown, c.refused) << c.summaryTemplate;
    }
}

TEST_F(RunTest, PatchRunNeverStopsAtThePackagePlatform) {
    os.sys.architecture = 0;
    os.msi.packages[kPackage].summaryTemplate = "x64;1033";
    Ini("MsiPath=demo.msi\nMsiPatch=1\nName=Demo Patch\n");
    RunWith("/i /quiet");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(Logged("UILevel is set to 2\r\n", "C:\\Temp\\Demo Patch Setup (2025.03.07 09.05).log"));
}

TEST_F(RunTest, DefaultLogNameAndFirstLine) {
    EXPECT_EQ(RunWith("/i /passive"), 0);
    EXPECT_EQ(Log().rfind("\xEF\xBB\xBFSetup.exe [2025.03.07 09:05:03]: UILevel is set to 67\r\n", 0), 0u)
        << Log();
}

TEST_F(RunTest, UnsafeBytesOfTheNameOnlyInTheLogName) {
    os.msi.packages[kPackage].properties["ProductName"] = "Caf\xC3\xA9?";
    os.sys.major = 4;  // refused with the display name in the message
    EXPECT_EQ(RunWith("/i /quiet"), 3);
    const std::string log = "C:\\Temp\\Caf$$$ Setup (2025.03.07 09.05).log";
    EXPECT_TRUE(Logged("Caf\xC3\xA9? (1.0) doesn't support this Windows version.\r\n", log)) << Log(log);
}

TEST_F(RunTest, LogOptionReplacesTheDefaultPath) {
    RunWith("/i /quiet /log C:\\Logs\\mine.log");
    EXPECT_TRUE(Logged("UILevel is set to 2\r\n", "C:\\Logs\\mine.log"));
    EXPECT_EQ(os.fileSystem.contents.count(kDefaultLog), 0u);
}

TEST_F(RunTest, MalformedCommandLinesShowUsage) {
    for (const char* commandLine : {"/passive", "/I", "/a", "/a C:\\x D:\\y", "\"/i\""}) {
        os.userInterface.shown.clear();
        EXPECT_EQ(RunWith(commandLine), 3) << commandLine;
        ASSERT_EQ(Boxes().size(), 1u) << commandLine;
        EXPECT_EQ(Boxes()[0].caption, "Usage Info");
        EXPECT_EQ(Boxes()[0].flags, 0x40u);
    }
}

TEST_F(RunTest, RefusalsOfMachineAndUser) {
    struct Case {
        const char* keys;
        uint32_t major;
        uint16_t architecture;
        bool administrator;
        const char* commandLine;
        int exitCode;
        const char* message;  // nullptr: no refusal
    };
    const Case cases[] = {
        {"", 4, 9, true, "/i", 3, "Demo (1.0) doesn't support this Windows version."},
        {"Os32Need=1\n", 10, 9, true, "/i", 0,
         "This installation package is not supported by this processor type."},
        {"Os32Need=1\n", 10, 0, true, "/i", 0, nullptr},
        {"", 10, 9, false, "/i", 0, "Admin priviledges are required."},
        {"AdminNeed=0\n", 10, 9, false, "/i", 0, nullptr},
        {"AdminNeed=0\n", 10, 9, false, "/i /quiet", 0, nullptr},
        {"Os32Need=1\n", 10, 9, true, "/i /quiet", 0,
         "This installation package is not supported by this processor type."},
    };
    for (const Case& c : cases) {
        fake::Platform fresh;
        std::swap(fresh.msi.packages, os.msi.packages);
        fresh.msi.packages[kPackage].summaryTemplate = "Intel;1033";
        fresh.fileSystem.contents[kPackage] = "package";
        fresh.fileSystem.SetIni(kIni, std::string("[Main]\nMsiPath=demo.msi\n") + c.keys);
        fresh.sys.major = c.major;
        fresh.sys.architecture = c.architecture;
        fresh.sys.administrator = c.administrator;
        EXPECT_EQ(setup::Run(fresh, c.commandLine), c.exitCode) << c.keys << c.commandLine;
        const std::string log = fresh.Utf16File(kDefaultLog);
        const bool full = std::string(c.commandLine) == "/i";
        if (c.message) {
            EXPECT_NE(log.find(std::string("]: ") + c.message + "\r\n"), std::string::npos) << log;
            ASSERT_EQ(fresh.userInterface.shown.size(), full ? 1u : 0u);
            if (full) {
                EXPECT_EQ(fresh.userInterface.shown[0].text, c.message);
            }
        } else {
            EXPECT_TRUE(fresh.userInterface.shown.empty());
        }
        std::swap(fresh.msi.packages, os.msi.packages);
    }
}

TEST_F(RunTest, SecondRunForTheSamePackageEndsSilently) {
    bool existed = false;
    auto first = os.sys.CreateNamedMutex(SingleInstanceName("demo.msi"), &existed);
    EXPECT_EQ(RunWith("/i"), 3);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(os.msi.binds, 1) << "ends before the package is read again";
    first.reset();
    RunWith("/i");
    EXPECT_TRUE(os.sys.mutexes.empty()) << "the guard is released when the run ends";
}

TEST_F(RunTest, OperationTypeMustFitThePackage) {
    struct Case {
        const char* keys;
        bool accepted;
        const char* shownType;
    };
    const Case cases[] = {
        {"", true, ""},
        {"MsiType=installupgrade\n", true, ""},
        {"MsiType=INSTALL\n", true, ""},
        {"MsiType=minor\n", false, "minor"},
        {"MsiType=Major\n", false, "Major"},
        {"MsiType=\n", false, ""},
        {"MsiPatch=1\n", true, ""},
        {"MsiPatch=1\nMsiType=minor\n", true, ""},
        {"MsiPatch=1\nMsiType=Install\n", false, "Install"},
    };
    for (const Case& c : cases) {
        os.fileSystem.contents.clear();
        os.fileSystem.contents[kPackage] = "package";
        Ini(std::string("MsiPath=demo.msi\nName=Demo\n") + c.keys);
        EXPECT_EQ(RunWith("/i /quiet"), c.accepted ? 0 : 3) << c.keys;
        const std::string message = std::string("The setup was authored with an incorrect operation type '") +
                                    c.shownType + "' and cannot continue.\r\n";
        EXPECT_EQ(Logged(message), !c.accepted) << c.keys << Log();
    }
}

TEST_F(RunTest, AdministrativeInstallNeedsATargetAndRunsPassive) {
    EXPECT_EQ(RunWith("/a"), 3);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].caption, "Usage Info");
    EXPECT_TRUE(Logged("UILevel is set to 5\r\n"));

    os.userInterface.shown.clear();
    Ini("MsiPath=demo.msi\nAdminNeed=0\nMsiType=Bad\n");
    RunWith("/a \"D:\\Admin Point\"");
    EXPECT_TRUE(Boxes().size() == 1 && Boxes()[0].text.find("'Bad'") != std::string::npos)
        << "the type is checked before the target";
}

TEST_F(RunTest, MissingPackageFileOfAPatchRun) {
    Ini("MsiPath=fix.msp\nMsiPatch=1\nName=Demo\nVersionTarget=1.0\n");
    EXPECT_EQ(RunWith("/i /quiet"), 3);
    EXPECT_TRUE(Logged("Setup was unable to find the file\n'C:\\Kits\\fix.msp'.\r\n",
                       "C:\\Temp\\Demo Setup (2025.03.07 09.05).log"));
    EXPECT_EQ(os.msi.binds, 0) << "a patch run reads no package before the file check";
}


}  // namespace
}  // namespace setup

namespace setup {
namespace {

class InstallRunTest : public RunTest {};

TEST_F(InstallRunTest, TransformClauseFollowsTheProperties) {
    struct Case {
        const char* keys;
        const char* commandLine;
        const char* installerCommandLine;
    };
    const Case cases[] = {
        {"", "/i /quiet", " TRANSFORMS=\"C:\\Kits\\1033.mst\""},
        {"MsiProp=FROM=INI\n", "/i /quiet", "FROM=INI TRANSFORMS=\"C:\\Kits\\1033.mst\""},
        {"MsiProp=FROM=INI\n", "/i /quiet X=1 Y=\"a b\"", "X=1 Y=\"a b\" TRANSFORMS=\"C:\\Kits\\1033.mst\""},
    };
    for (const Case& c : cases) {
        os.msi.installs.clear();
        os.fileSystem.contents["C:\\Kits\\1033.mst"] = "";
        Ini(std::string("MsiPath=demo.msi\n") + c.keys);
        EXPECT_EQ(RunWith(c.commandLine), 0);
        ASSERT_EQ(os.msi.installs.size(), 1u);
        EXPECT_EQ(os.msi.installs[0].commandLine, c.installerCommandLine);
        EXPECT_TRUE(Logged("LangId transform is C:\\Kits\\1033.mst\r\n"));
    }
}

TEST_F(InstallRunTest, NoTransformLeavesThePropertiesAlone) {
    Ini("MsiPath=demo.msi\nMsiProp=FROM=INI\n");
    EXPECT_EQ(RunWith("/i /quiet"), 0);
    ASSERT_EQ(os.msi.installs.size(), 1u);
    EXPECT_EQ(os.msi.installs[0].commandLine, "FROM=INI");
    EXPECT_FALSE(Logged("LangId transform is"));
}

TEST_F(InstallRunTest, AdministrativeInstallSkipsTheTransformAndRunsPassive) {
    os.fileSystem.contents["C:\\Kits\\1033.mst"] = "";
    EXPECT_EQ(RunWith("/a \"D:\\Admin Point\""), 0);
    ASSERT_EQ(os.msi.installs.size(), 1u);
    EXPECT_EQ(os.msi.installs[0].commandLine, "TARGETDIR=\"D:\\Admin Point\"  ACTION=ADMIN");
    EXPECT_EQ(os.msi.uiLevels.front(), 67);
    EXPECT_FALSE(Logged("User LangId is"));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(InstallRunTest, ResultMapping) {
    struct Case {
        uint32_t installerResult;
        int state;               // installed state of the product before the run
        const char* installed;   // its version
        int exitCode;
        const char* reason;      // nullptr: no failure report
    };
    const Case cases[] = {
        {0, -1, "", 0, nullptr},
        {3010, -1, "", 0, nullptr},
        {1641, -1, "", 0, nullptr},
        {1602, -1, "", 1602, nullptr},
        {1603, -1, "", 3, "An irrecoverable internal error occured."},
        {2, -1, "", 3, "An irrecoverable internal error occured."},
        {1642, -1, "", 3,
         "The installer cannot install the upgrade patch because the program being upgraded may be "
         "missing or the upgrade patch updates a different version of the program. Verify that the "
         "program to be upgraded exists on your computer and that you have the correct upgrade patch."},
        {0, 5, "2.0", 3,
         "Newer version of this product is already installed. Installation of this version cannot "
         "continue. To configure or remove the existing version of this product, use Add/Remove "
         "Programs on the Control Panel."},
    };
    for (const Case& c : cases) {
        os.fileSystem.contents.erase(kDefaultLog);
        os.msi.installResult = {c.installerResult, false, 0};
        os.msi.productStates["{C0DE}"] = c.state;
        os.msi.installedVersions["{C0DE}"] = c.installed;
        EXPECT_EQ(RunWith("/i /quiet"), c.exitCode) << c.installerResult;
        EXPECT_TRUE(Boxes().empty());
        EXPECT_FALSE(Logged("You must restart")) << "the installer's own results ask no restart";
        if (c.reason) {
            EXPECT_TRUE(Logged(std::string(c.reason) + "\r\n")) << Log();
            EXPECT_NE(Log().find("]: BSInstall() failed. Error("), std::string::npos);
        } else {
            EXPECT_FALSE(Logged("BSInstall() failed."));
        }
    }
}

TEST_F(InstallRunTest, RefusedUpgradeIsReportedWithItsReason) {
    os.msi.productStates["{C0DE}"] = 5;
    os.msi.installedVersions["{C0DE}"] = "0.5";
    Ini("MsiPath=demo.msi\nUpdateDisable=1\n");
    EXPECT_EQ(RunWith("/i /quiet"), 3);
    EXPECT_TRUE(Logged("Older version of this product is already installed. Minor update is disabled in "
                       "this version. Please use Add/Remove Programs to deinstall currect version.\r\n"));
    EXPECT_TRUE(Logged("BSInstall() failed. Error(7086)'Unknown error 0x00001BAE'."));
}

TEST_F(InstallRunTest, FailureAtTheFullLevelShowsTheReasonWithTheLongLogPath) {
    os.fileSystem.longPaths[kDefaultLog] = "C:\\Long Temp\\Demo Setup.log";
    os.msi.installResult = {1603, false, 0};
    EXPECT_EQ(RunWith("/i"), 3);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text,
              "An irrecoverable internal error occured.\r\n\r\nLog file:\r\n'C:\\Long Temp\\Demo Setup.log'");
    EXPECT_EQ(Boxes()[0].caption, "Installation Error");
    EXPECT_EQ(Boxes()[0].flags, 0x10u);
}

}  // namespace
}  // namespace setup

namespace setup {
namespace {

class ComponentRunTest : public RunTest {
protected:
    ComponentRunTest() {
        Ini("MsiPath=demo.msi\n[PreReq0]\nName=Runtime\nInstPath=#Root#\\runtime.exe\nFilePath=C:\\none.dll\n"
            "[PostReq0]\nName=Readme\nInstPath=#Root#\\readme.exe\n");
        os.procs.children["\"C:\\Kits\\runtime.exe\""] = {0, "", {}, 0};
        os.procs.children["\"C:\\Kits\\readme.exe\""] = {0, "", {}, 0};
        // Installing the runtime puts its file in place.
        os.procs.onStart = [this](const std::string& command) {
            if (command == "\"C:\\Kits\\runtime.exe\"") os.fileSystem.versions["C:\\none.dll"] = {0, 1, 0};
        };
        // At the full level the user presses Install without changing anything.
        os.userInterface.prerequisitesDialog = [](platform::PrerequisitesDialog& d) {
            std::vector<int> images;
            for (const auto& row : d.Rows()) images.push_back(row.image);
            return d.Install(1, images);
        };
    }
    void Installed(const char* version) {
        os.msi.productStates["{C0DE}"] = 5;
        os.msi.installedVersions["{C0DE}"] = version;
    }
    const std::vector<std::string>& Started() { return os.procs.started; }
};

TEST_F(ComponentRunTest, FreshInstallRunsPrerequisitesThenProductThenPostRequisites) {
    EXPECT_EQ(RunWith("/i /quiet"), 0);
    EXPECT_EQ(Started(), (std::vector<std::string>{"\"C:\\Kits\\runtime.exe\"", "\"C:\\Kits\\readme.exe\""}));
    EXPECT_NE(Log().find("]: Installing prerequisites passively:\r\n  Runtime\r\n"), std::string::npos) << Log();
    EXPECT_EQ(os.msi.installs.size(), 1u);
    EXPECT_TRUE(os.sys.restarts.empty());
}

TEST_F(ComponentRunTest, InstalledProductRunsNoComponents) {
    Installed("1.0");
    EXPECT_EQ(RunWith("/i /quiet"), 0);
    EXPECT_TRUE(Started().empty());
}

TEST_F(ComponentRunTest, UpgradeRunsPrerequisitesButNoPostRequisites) {
    Installed("0.9");
    EXPECT_EQ(RunWith("/i /quiet X=1"), 0);
    EXPECT_EQ(Started(), std::vector<std::string>{"\"C:\\Kits\\runtime.exe\""});
    ASSERT_EQ(os.msi.installs.size(), 1u);
    EXPECT_EQ(os.msi.installs[0].commandLine, "REINSTALL=ALL REINSTALLMODE=vomus");
}

TEST_F(ComponentRunTest, AdministrativeInstallAndPatchRunNoComponents) {
    EXPECT_EQ(RunWith("/a D:\\Admin"), 0);
    EXPECT_TRUE(Started().empty());
    os.fileSystem.SetIni(kIni, "[Main]\nMsiPath=demo.msi\nMsiPatch=1\nName=Demo\n"
                               "[PreReq0]\nName=Runtime\nInstPath=x.exe\nFilePath=C:\\none.dll\n");
    EXPECT_EQ(RunWith("/i /quiet"), 0);
    EXPECT_TRUE(Started().empty());
}

TEST_F(ComponentRunTest, FailedProductRunsNoPostRequisites) {
    os.msi.installResult = {1603, false, 0};
    EXPECT_EQ(RunWith("/i /quiet"), 3);
    EXPECT_EQ(Started(), std::vector<std::string>{"\"C:\\Kits\\runtime.exe\""});
}

TEST_F(ComponentRunTest, RestartWhenAComponentAsksForIt) {
    struct Case {
        const char* commandLine;
        bool prerequisiteAsks, postRequisiteAsks;
        int answer;
        int exitCode;
        bool restarted;
    };
    const Case cases[] = {
        {"/i /quiet", true, false, 0, 0, true},
        {"/i /passive", false, true, 0, 0, true},
        {"/i", true, false, codes::kIdYes, 0, true},
        {"/i", false, true, codes::kIdNo, 3010, false},
        {"/i", false, false, 0, 0, false},
    };
    for (const Case& c : cases) {
        os.sys.restarts.clear();
        os.sys.shutdownPrivilegeEnabled = false;
        os.userInterface.shown.clear();
        os.userInterface.answers.clear();
        if (c.answer) os.userInterface.answers = {c.answer};
        os.fileSystem.contents.erase(kDefaultLog);
        os.fileSystem.versions.clear();
        os.procs.children["\"C:\\Kits\\runtime.exe\""].exitCode = c.prerequisiteAsks ? 3010 : 0;
        os.procs.children["\"C:\\Kits\\readme.exe\""].exitCode = c.postRequisiteAsks ? 3010 : 0;
        EXPECT_EQ(RunWith(c.commandLine), c.exitCode) << c.commandLine;
        EXPECT_EQ(!os.sys.restarts.empty(), c.restarted) << c.commandLine;
        if (c.restarted) {
            EXPECT_EQ(os.sys.restarts[0], 0x84040002u);
            EXPECT_TRUE(os.sys.shutdownPrivilegeEnabled);
        }
        const bool asked = c.prerequisiteAsks || c.postRequisiteAsks;
        const bool full = std::string(c.commandLine) == "/i";
        EXPECT_EQ(Logged("You must restart your system for the configuration changes to take effect. Do you "
                         "want restart now?\r\n"),
                  asked);
        EXPECT_EQ(Logged("Auto-reboot in passive mode\r\n"), asked && !full);
        if (asked && full) {
            ASSERT_EQ(Boxes().size(), 1u);
            EXPECT_EQ(Boxes()[0].caption, "Demo (1.0) Setup");
            EXPECT_EQ(Boxes()[0].flags, 0x24u);
        }
    }
}

}  // namespace
}  // namespace setup
