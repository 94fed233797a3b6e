#include "components/prerequisites_dialog.h"

#include <gtest/gtest.h>

#include "components/prerequisites.h"
#include "driver/session.h"
#include "fake_platform.h"
#include "platform/codes.h"

namespace setup {
namespace {

class DialogTest : public ::testing::Test {
protected:
    DialogTest() : s(os) {
        s.ctx.logPath = "C:\\Temp\\setup.log";
        s.package.productName = "Demo";
        s.package.productVersion = "1.0";
        os.fileSystem.SetIni("C:\\Kits\\setup.ini", "[Main]\n");
    }
    static ComponentDescriptor Component(const std::string& name, OptionalState state,
                                         int32_t isUninstall = 0) {
        ComponentDescriptor c;
        c.Name = name;
        c.InstPath = "C:\\" + name + ".exe";
        c.FilePath = "C:\\" + name + ".dll";  // missing until installed
        c.optionalState = state;
        c.IsUninstall = isUninstall;
        return c;
    }
    void InstallPutsFileInPlace(const std::string& name) {
        os.procs.children["\"C:\\" + name + ".exe\""] = {0, "", {}, 0};
        os.procs.onStart = [this](const std::string& command) {
            const std::string installed = command.substr(4, command.size() - 9);  // "C:\<name>.exe"
            if (installed != "Fails") os.fileSystem.versions["C:\\" + installed + ".dll"] = {0, 1, 0};
        };
    }
    fake::Platform os;
    Session s;
};

TEST_F(DialogTest, TextsAndRows) {
    ComponentList plain = {Component("Client", OptionalState::Checked),
                           Component("Runtime", OptionalState::NoCheckBox),
                           Component("Extra", OptionalState::Unchecked)};
    CMainDlg d(s, plain);
    EXPECT_EQ(d.Caption(), "Demo (1.0) Setup");
    EXPECT_EQ(d.HeaderText(), "Demo requires the following components to be installed:");
    EXPECT_EQ(d.InstallButtonText(), "&Install");
    EXPECT_EQ(d.CancelButtonText(), "&Cancel");
    EXPECT_TRUE(d.HasCheckBoxes());
    std::vector<platform::ListRow> rows = d.Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].text, "Client");
    EXPECT_EQ(rows[0].image, kImageChecked);
    EXPECT_EQ(rows[1].image, kImageNone);
    EXPECT_EQ(rows[2].image, kImageUnchecked);

    ComponentList steps = {Component("Old Client", OptionalState::NoCheckBox, 1),
                           Component("Client", OptionalState::NoCheckBox)};
    CMainDlg u(s, steps);
    EXPECT_TRUE(u.HasUninstallSteps);
    EXPECT_FALSE(u.HasCheckBoxes());
    EXPECT_EQ(u.HeaderText(), "Demo setup requires the following steps to be executed:");
    EXPECT_EQ(u.InstallButtonText(), "Co&ntinue");
    rows = u.Rows();
    EXPECT_EQ(rows[0].text, "Uninstall Old Client");
    EXPECT_EQ(rows[1].text, "Install Client");
}

TEST_F(DialogTest, StatusTextFromConditionPrograms) {
    struct Case {
        const char* text;
        const char* translated;
    };
    const Case cases[] = {
        {"a\\nbc", "a\r\nbc"}, {"a\\tb", "ab"}, {"ab\\", "ab"}, {"\\\\n", "n"}, {"", ""}, {"x\\n", "x\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(TranslateStatusText(c.text), c.translated) << c.text;

    ComponentList list = {Component("A", OptionalState::Unchecked), Component("B", OptionalState::Unchecked)};
    list[0].RunExeText = "a\\nb";
    list[1].RunExeText = "c";
    CMainDlg d(s, list);
    EXPECT_EQ(d.StatusText(), "a\r\nbc");
}

TEST_F(DialogTest, Toggling) {
    ComponentList list;
    CMainDlg d(s, list);
    EXPECT_EQ(d.ToggledImage(kImageUnchecked), kImageChecked);
    EXPECT_EQ(d.ToggledImage(kImageChecked), kImageUnchecked);
    EXPECT_EQ(d.ToggledImage(kImageNone), -1);
}

TEST_F(DialogTest, InstallTakesTheChoicesAndAsksAboutWhatIsStillMissing) {
    ComponentList list = {Component("Client", OptionalState::Checked), Component("Extra", OptionalState::Checked),
                          Component("Fails", OptionalState::NoCheckBox)};
    InstallPutsFileInPlace("Client");
    os.procs.children["\"C:\\Extra.exe\""] = {0, "", {}, 0};
    os.procs.children["\"C:\\Fails.exe\""] = {1603, "", {}, 0};
    os.userInterface.answers = {codes::kIdOk /* the failure box */, codes::kIdNo};
    CMainDlg d(s, list);
    EXPECT_EQ(d.Install(42, {kImageChecked, kImageUnchecked, kImageNone}), 0);
    EXPECT_TRUE(list[0].Selected);
    EXPECT_FALSE(list[1].Selected) << "the user unticked it";
    EXPECT_EQ(os.procs.started, (std::vector<std::string>{"\"C:\\Client.exe\"", "\"C:\\Fails.exe\""}));
    EXPECT_EQ(os.userInterface.buttonStates, (std::vector<bool>{false, true}));
    EXPECT_EQ(os.userInterface.statusTexts.back(), "");
    ASSERT_EQ(os.userInterface.shown.size(), 2u);
    EXPECT_EQ(os.userInterface.shown[1].text,
              "Not installed component(s):\n - 'Fails'\n\nDo you want to continue product installation?");
    EXPECT_EQ(os.userInterface.shown[1].caption, "Demo (1.0) Setup");
    EXPECT_EQ(os.userInterface.shown[1].owner, 42u);

    os.userInterface.answers = {codes::kIdOk, codes::kIdYes};
    EXPECT_EQ(d.Install(42, {kImageChecked, kImageUnchecked, kImageNone}), 1);
}

TEST_F(DialogTest, NothingMissingEndsWithoutAQuestion) {
    ComponentList list = {Component("Client", OptionalState::NoCheckBox)};
    InstallPutsFileInPlace("Client");
    CMainDlg d(s, list);
    EXPECT_EQ(d.Install(42, {kImageUnchecked}), 1) << "without check boxes every component is selected";
    EXPECT_TRUE(os.userInterface.shown.empty());
}

TEST_F(DialogTest, ConditionProgramDecidesTheSelectionAgainAfterInstall) {
    ComponentList list = {Component("Tool", OptionalState::Checked)};
    list[0].FilePath.clear();
    list[0].RunExeCond = "check.exe";
    os.procs.children["check.exe"] = {0, "", {}, 0};  // still missing after install
    os.procs.children["\"C:\\Tool.exe\""] = {0, "", {}, 0};
    CMainDlg d(s, list);
    EXPECT_EQ(d.Install(42, {kImageUnchecked}), 0);
    EXPECT_TRUE(list[0].Selected) << "the re-probe selects it again";
    ASSERT_EQ(os.userInterface.shown.size(), 1u);
    EXPECT_NE(os.userInterface.shown[0].text.find(" - 'Tool'\n"), std::string::npos);
}

TEST_F(DialogTest, DownloadDialog) {
    ComponentDescriptor c = Component("Client", OptionalState::NoCheckBox);
    c.Url = "https://vendor.example/client";
    CDownloadDlg d(s, c);
    EXPECT_EQ(d.Caption(), "Component Download");
    EXPECT_EQ(d.RecheckButtonText(), "&Recheck");
    EXPECT_EQ(d.CancelButtonText(), "&Cancel");
    EXPECT_EQ(d.LinkLabel(), "'Client' download page");
    EXPECT_EQ(d.LinkTarget(), "https://vendor.example/client");
    // Only web addresses are opened; anything else is logged instead.
    for (const char* url : {"HTTP://a.example", "http:x"}) {
        c.Url = url;
        EXPECT_EQ(d.LinkTarget(), url);
    }
    for (const char* url : {"file:///C:/x.exe", "C:\\Windows\\notepad.exe", "httpx://a", "ftp://a", ""}) {
        c.Url = url;
        EXPECT_EQ(d.LinkTarget(), "") << url;
        EXPECT_NE(os.Utf16File(s.ctx.logPath).find(std::string("]: Download link '") + url +
                                                   "' is not an http or https address; it is not opened.\r\n"),
                  std::string::npos) << url;
    }
    c.Url = "https://vendor.example/client";
    EXPECT_EQ(d.Explanation(),
              "Installation package for component 'Client'  is missing. To install it manually:\n\n- Follow "
              "link below to download package;\n- Install 'Client';\n- Press 'Recheck' button to continue "
              "installation.");
    c.ChooseDownload = "the 32-bit edition";
    EXPECT_EQ(d.Explanation(),
              "Installation package for component 'Client'  is missing. To install it manually:\n\n- Follow "
              "link below to download package;\n- Install 'Client'\n  the 32-bit edition;\n- Press 'Recheck' "
              "button to continue installation.");
    EXPECT_FALSE(d.Recheck());
    EXPECT_NE(os.Utf16File(s.ctx.logPath).find("Can't get version of file 'C:\\Client.dll'"), std::string::npos)
        << "each recheck logs its reason";
    os.fileSystem.versions["C:\\Client.dll"] = {0, 1, 0};
    EXPECT_TRUE(d.Recheck());
    ComponentDescriptor noProbe;
    CDownloadDlg e(s, noProbe);
    EXPECT_TRUE(e.Recheck()) << "a component without a probe is never missing";
}

class StageTest : public DialogTest {
protected:
    StageTest() {
        os.fileSystem.SetIni("C:\\Kits\\setup.ini",
                             "[PreReq0]\nName=Client\nInstPath=C:\\Client.exe\nFilePath=C:\\Client.dll\n"
                             "[PreReq1]\nName=Extra\nInstPath=C:\\Extra.exe\nFilePath=C:\\Extra.dll\nOptional=0\n"
                             "[PreReq2]\nName=Tool\nInstPath=C:\\Tool.exe\nRunExeCond=check.exe\n");
        os.procs.children["check.exe"] = {2, "optional tool", {}, 0};
        for (const char* name : {"Client", "Extra", "Tool"}) {
            os.procs.children[std::string("\"C:\\") + name + ".exe\""] = {0, "", {}, 0};
        }
    }
};

TEST_F(StageTest, UnattendedInstallsByTheSelectionNotTheCheckBoxes) {
    s.ctx.uiLevel = UiLevel::Passive;
    bool restart = true;
    EXPECT_EQ(RunPrerequisites(s, "PreReq%d", restart), 1);
    EXPECT_FALSE(restart);
    EXPECT_EQ(os.procs.started, (std::vector<std::string>{"check.exe", "\"C:\\Client.exe\"", "\"C:\\Extra.exe\""}));
    EXPECT_NE(os.Utf16File(s.ctx.logPath).find("]: Installing prerequisites passively:\r\n  Client\r\n  Extra\r\n  Tool\r\n"),
              std::string::npos);
    EXPECT_TRUE(os.userInterface.shown.empty());
}

TEST_F(StageTest, FullLevelShowsTheDialog) {
    std::vector<platform::ListRow> seen;
    for (int endCode : {2, -1, 0}) {
        os.userInterface.prerequisitesDialog = [&](platform::PrerequisitesDialog& d) {
            seen = d.Rows();
            return endCode;
        };
        bool restart = true;
        EXPECT_EQ(RunPrerequisites(s, "PreReq%d", restart), endCode);
        EXPECT_FALSE(restart);
    }
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].image, kImageUnchecked);
    EXPECT_EQ(seen[2].image, kImageUnchecked) << "the condition program made it optional";
    EXPECT_EQ(os.procs.started.size(), 3u) << "only the probes ran";
}

TEST_F(StageTest, RestartFlagFromTheDialogsInstall) {
    os.procs.children["\"C:\\Client.exe\""] = {3010, "", {}, 0};
    os.userInterface.prerequisitesDialog = [](platform::PrerequisitesDialog& d) {
        return d.Install(7, {kImageChecked, kImageUnchecked, kImageUnchecked});
    };
    os.userInterface.answers = {codes::kIdYes};
    bool restart = false;
    EXPECT_EQ(RunPrerequisites(s, "PreReq%d", restart), 1);
    EXPECT_TRUE(restart);
}

TEST_F(StageTest, EmptyListNeedsNoDialog) {
    os.fileSystem.SetIni("C:\\Kits\\setup.ini", "[Main]\n");
    bool restart = true;
    EXPECT_EQ(RunPrerequisites(s, "PreReq%d", restart), 1);
    EXPECT_FALSE(restart);
    EXPECT_EQ(os.Utf16File(s.ctx.logPath), "");
}

TEST_F(StageTest, MissingPackageInAnUnattendedRunOffersTheDownloadWithoutOwner) {
    os.fileSystem.SetIni("C:\\Kits\\setup.ini",
                         "[PreReq0]\nName=Client\nInstPath=C:\\pkg\\client.msi\nUrl=https://vendor.example\n"
                         "FilePath=C:\\Client.dll\n[PreReq1]\nName=Extra\nInstPath=C:\\Extra.exe\nFilePath=C:\\Extra.dll\n");
    s.ctx.uiLevel = UiLevel::Quiet;
    platform::WindowRef owner = 99;
    os.userInterface.downloadDialog = [&](platform::WindowRef o, platform::DownloadDialog&) {
        owner = o;
        return 2;
    };
    bool restart = false;
    EXPECT_EQ(RunPrerequisites(s, "PreReq%d", restart), 1);
    EXPECT_EQ(owner, 0u);
    EXPECT_TRUE(os.procs.started.empty()) << "cancelling the download stops the loop";
}

}  // namespace
}  // namespace setup
