#include "components/component_installer.h"

#include <gtest/gtest.h>

#include "driver/session.h"
#include "fake_platform.h"
#include "platform/codes.h"

namespace setup {
namespace {

class RecordingWindows : public PrerequisiteWindows {
public:
    platform::WindowRef Owner() override { return 77; }
    void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
    int RunDownloadDialog(ComponentDescriptor& c) override {
        downloads.push_back(c.Name);
        return downloadResult;
    }
    std::vector<std::string> statusTexts, downloads;
    int downloadResult = 2;
};

class InstallerTest : public ::testing::Test {
protected:
    InstallerTest() : s(os) {
        s.ctx.logPath = "C:\\Temp\\setup.log";
        os.fileSystem.SetIni("C:\\Kits\\setup.ini", "[Main]\n");
        os.sys.errorTexts[1603] = "Fatal error during installation.\r\n";
    }
    static ComponentDescriptor Component(const std::string& name, const std::string& instPath,
                                         const std::string& instParams = "") {
        ComponentDescriptor c;
        c.Name = name;
        c.InstPath = instPath;
        c.InstParams = instParams;
        return c;
    }
    bool Logged(const std::string& text) {
        return os.Utf16File(s.ctx.logPath).find("]: " + text) != std::string::npos;
    }
    fake::Platform os;
    Session s;
};

TEST_F(InstallerTest, CommandLineFromTheConfiguration) {
    struct Case {
        ComponentDescriptor c;
        const char* started;  // as the process runner sees it
    };
    ComponentDescriptor runAsPath = Component("A", "C:\\Kits\\a b.exe");
    runAsPath.RunAs = 1;
    ComponentDescriptor runAsMsiexec =
        Component("B", "x.msi", "MsiExec\t/i \"#InstPath#\" /qn");
    runAsMsiexec.RunAs = 1;
    ComponentDescriptor runAsQuoted = Component("C", "x", "\"C:\\x y\\setup.exe\" /s /v");
    runAsQuoted.RunAs = 1;
    const std::vector<Case> cases = {
        {Component("Plain", "C:\\Kits\\vc.exe"), "\"C:\\Kits\\vc.exe\""},
        {Component("Msi", "C:\\Kits\\c.msi", "msiexec /i \"#InstPath#\" /qn /l*v \"#Temp#c.log\" SRC=#Root#"),
         "msiexec /i \"C:\\Kits\\c.msi\" /qn /l*v \"C:\\Temp\\c.log\" SRC=C:\\Kits"},
        {runAsPath, "C:\\Kits\\a b.exe|"},
        {runAsMsiexec, "MsiExec|/i \"x.msi\" /qn"},
        {runAsQuoted, "C:\\x y\\setup.exe|/s /v"},
    };
    for (const Case& c : cases) {
        os.procs.started.clear();
        std::string error = "untouched";
        EXPECT_EQ(InstallComponent(s, c.c, error), 2u) << "nothing scripted: the file is not found";
        ASSERT_EQ(os.procs.started.size(), 1u);
        EXPECT_EQ(os.procs.started[0], c.started);
        EXPECT_TRUE(Logged("Install the component '" + c.c.Name + "'.\r\n"));
    }
}

TEST_F(InstallerTest, RunAsCommandThatCannotBeSplit) {
    for (const char* command : {"setup.exe /s", "\"unterminated /s", "msiexec"}) {
        std::string error;
        EXPECT_EQ(MsiInstall(s, command, 1, error), 160u) << command;
        EXPECT_EQ(error, std::string("Setup was unable to install\n'") + command + "'.");
    }
    EXPECT_TRUE(os.procs.started.empty());
}

TEST_F(InstallerTest, ResultsAndErrorTexts) {
    struct Case {
        uint32_t exitCode;
        const char* error;
        const char* failureLine;
    };
    const Case cases[] = {
        {0, "untouched", nullptr},
        {3010, "untouched", nullptr},
        {1641, "untouched", nullptr},
        {1603, "Setup was unable to install\n'run.exe'.",
         "MsiInstall('run.exe') failed. Error(1603)'Fatal error during installation.'.\r\n"},
        {2, "Setup was unable to find the file\n'run.exe'.", nullptr},
    };
    for (const Case& c : cases) {
        os.fileSystem.contents.erase(s.ctx.logPath);
        os.procs.children["run.exe"] = {c.exitCode, "", {}, 0};
        std::string error = "untouched";
        EXPECT_EQ(MsiInstall(s, "run.exe", 0, error), c.exitCode);
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(Logged("MsiInstall(run.exe) return code " + std::to_string(c.exitCode) + "\r\n"));
        EXPECT_EQ(Logged("MsiInstall('run.exe') failed."), c.failureLine != nullptr);
        if (c.failureLine) {
            EXPECT_TRUE(Logged(c.failureLine));
        }
    }
}

TEST_F(InstallerTest, FailedStartsAreLogged) {
    std::string error;
    EXPECT_EQ(MsiInstall(s, "absent.exe /x", 0, error), 2u);
    EXPECT_TRUE(Logged("Function ::CreateProcess(absent.exe /x) failed. Error=2.\r\n"));
    os.procs.children["C:\\a.exe|/p"] = {0, "", {}, 1223};  // the user refused elevation
    EXPECT_EQ(MsiInstall(s, "\"C:\\a.exe\" /p", 1, error), 1223u);
    EXPECT_TRUE(Logged("Function ::ShellExecuteEx('C:\\a.exe' '/p') failed. Error=1223.\r\n"));
    EXPECT_EQ(error, "Setup was unable to install\n'\"C:\\a.exe\" /p'.");
}

TEST_F(InstallerTest, LoopInstallsSelectedComponentsAndGoesOnAfterFailures) {
    ComponentList list = {Component("One", "C:\\one.exe"), Component("Two", "C:\\two.exe"),
                          Component("Three", "C:\\three.exe")};
    list[1].Selected = false;
    os.procs.children["\"C:\\one.exe\""] = {1603, "", {}, 0};
    os.procs.children["\"C:\\three.exe\""] = {3010, "", {}, 0};
    RecordingWindows windows;
    bool reboot = false;
    InstallSelectedComponents(s, list, windows, false, reboot);
    EXPECT_EQ(os.procs.started, (std::vector<std::string>{"\"C:\\one.exe\"", "\"C:\\three.exe\""}));
    EXPECT_TRUE(reboot);
    EXPECT_EQ(windows.statusTexts, (std::vector<std::string>{"Installing One.\r\nPlease wait...",
                                                              "Installing Three.\r\nPlease wait..."}));
    ASSERT_EQ(os.userInterface.shown.size(), 1u) << "3010 shows nothing";
    EXPECT_EQ(os.userInterface.shown[0].text, "Setup was unable to install\n'\"C:\\one.exe\"'.");
    EXPECT_EQ(os.userInterface.shown[0].owner, 77u);
    EXPECT_EQ(os.userInterface.shown[0].caption, "Installation Error");
    EXPECT_EQ(os.userInterface.waitCursors, 0) << "every wait cursor is restored";
}

TEST_F(InstallerTest, NoTemporaryFolderNamesTheComponentAtHand) {
    ComponentList first = {Component("One", "C:\\one.exe")}, second = {Component("Two", "C:\\two.exe")};
    os.procs.children["\"C:\\one.exe\""] = {1603, "", {}, 0};
    RecordingWindows windows;
    bool reboot = false;
    InstallSelectedComponents(s, first, windows, false, reboot);
    os.fileSystem.tempFolderFails = true;
    InstallSelectedComponents(s, second, windows, false, reboot);
    ASSERT_EQ(os.userInterface.shown.size(), 2u);
    EXPECT_EQ(os.userInterface.shown[1].text, "Setup was unable to install\n'Two'.");
}

TEST_F(InstallerTest, SilentLoopShowsNothing) {
    ComponentList list = {Component("One", "C:\\one.exe")};
    os.procs.children["\"C:\\one.exe\""] = {1603, "", {}, 0};
    RecordingWindows windows;
    bool reboot = false;
    InstallSelectedComponents(s, list, windows, true, reboot);
    EXPECT_TRUE(os.userInterface.shown.empty());
    EXPECT_TRUE(windows.statusTexts.empty());
    EXPECT_FALSE(reboot);
}

TEST_F(InstallerTest, MissingAdministratorStopsTheLoop) {
    ComponentList list = {Component("One", "C:\\one.exe"), Component("Two", "C:\\two.exe")};
    list[0].AdminNeed = 1;
    os.sys.administrator = false;
    RecordingWindows windows;
    bool reboot = false;
    InstallSelectedComponents(s, list, windows, false, reboot);
    EXPECT_TRUE(os.procs.started.empty());
    ASSERT_EQ(os.userInterface.shown.size(), 1u);
    EXPECT_EQ(os.userInterface.shown[0].text, "Admin priviledges are required.");
    EXPECT_TRUE(Logged("Admin priviledges are required.\r\n")) << "an unattended run says why too";

    list[0].AdminNeed = 0;
    list[1].AdminNeed = 0;
    InstallSelectedComponents(s, list, windows, false, reboot);
    EXPECT_EQ(os.procs.started.size(), 2u) << "components without AdminNeed install";
}

TEST_F(InstallerTest, MissingPackageWithUrlOpensTheDownloadDialog) {
    ComponentList list = {Component("Client", "C:\\pkg\\client.msi"), Component("Next", "C:\\next.exe")};
    list[0].Url = "http://example.invalid/client";
    RecordingWindows windows;
    bool reboot = false;
    for (int result : {2, -1, 0}) {
        windows.downloadResult = result;
        os.procs.started.clear();
        InstallSelectedComponents(s, list, windows, true, reboot);
        EXPECT_TRUE(os.procs.started.empty()) << "the loop stops on " << result;
    }
    windows.downloadResult = 1;
    InstallSelectedComponents(s, list, windows, true, reboot);
    EXPECT_EQ(os.procs.started, std::vector<std::string>{"\"C:\\next.exe\""})
        << "a component found present is skipped, the loop goes on";
    EXPECT_EQ(windows.downloads.size(), 4u);

    os.fileSystem.contents["C:\\pkg\\client.msi"] = "";
    os.procs.started.clear();
    InstallSelectedComponents(s, list, windows, true, reboot);
    EXPECT_EQ(os.procs.started.size(), 2u) << "a package on disk installs";
}

TEST_F(InstallerTest, PostRequisitesRunInOrderAndMayAskForARestart) {
    os.fileSystem.SetIni("C:\\Kits\\setup.ini",
                         "[PostReq0]\nName=First\nInstPath=#Root#\\first.exe\n"
                         "[PostReq1]\nName=Second\nInstPath=#Root#\\second.exe\nInstParams=\"#InstPath#\" /x\n"
                         "[PostReq2]\nName=Third\n");
    os.procs.children["\"C:\\Kits\\first.exe\""] = {1603, "", {}, 0};
    os.procs.children["\"C:\\Kits\\second.exe\" /x"] = {3010, "", {}, 0};
    bool restart = false;
    InstallPostRequisites(s, restart);
    EXPECT_TRUE(restart);
    EXPECT_EQ(os.procs.started, (std::vector<std::string>{"\"C:\\Kits\\first.exe\"",
                                                           "\"C:\\Kits\\second.exe\" /x", "\"\""}));
}

}  // namespace
}  // namespace setup
