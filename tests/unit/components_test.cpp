// Installing components, the install loop and the two dialogs' logic.
#include <gtest/gtest.h>

#include "components/component_installer.h"
#include "components/prerequisites_dialog.h"
#include "config/integrity.h"
#include "fake_platform.h"

namespace setup {
namespace {

using Lines = std::vector<std::string>;

struct Bench : fake::Bench {
    Bench() {
        os.sys.errorTexts[1603] = "Fatal error.\r\n";
        os.fileSystem.SetIni("[Main]\n");
    }
    PackageFacts package = [] {
        PackageFacts facts;
        facts.productName = "Demo";
        facts.productVersion = "1.0";
        return facts;
    }();
};

ComponentDescriptor Section(const std::string& name, const std::string& instPath = "",
                            const std::string& instParams = "", int32_t runAs = 0) {
    ComponentDescriptor c;
    c.Name = name;
    c.InstPath = instPath.empty() ? "C:\\" + name + ".exe" : instPath;
    c.InstParams = instParams;
    c.RunAs = runAs;
    c.FilePath = "C:\\" + name + ".dll";  // missing until installed
    return c;
}

class RecordingWindows : public PrerequisiteWindows {
public:
    platform::WindowRef Owner() override { return 77; }
    void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
    int RunDownloadDialog(Component& c) override {
        downloads.push_back(c.section.Name);
        return downloadResult;
    }
    Lines statusTexts, downloads;
    int downloadResult = 2;
};

TEST(ComponentInstaller, CommandLinesResultsAndErrorTexts) {
    struct Case {
        ComponentDescriptor section;
        fake::Child child;
        const char* started;  // as the process runner sees it
        uint32_t code;
        const char* error;
        const char* failureLine;
    };
    const std::vector<Case> cases = {
        {Section("Plain"), {0, "", {}, 0}, "\"C:\\Plain.exe\"", 0, "", nullptr},
        {Section("Msi", "C:\\Kits\\c.msi", "msiexec /i \"#InstPath#\" /qn /l*v \"#Temp#c.log\" SRC=#Root#"), {3010, "", {}, 0},
         "msiexec /i \"C:\\Kits\\c.msi\" /qn /l*v \"C:\\Temp\\c.log\" SRC=C:\\Kits", 3010, "", nullptr},
        {Section("Elevated", "C:\\Kits\\a b.exe", "", 1), {1641, "", {}, 0}, "C:\\Kits\\a b.exe|", 1641, "", nullptr},
        {Section("MsiElevated", "x.msi", "MsiExec\t/i \"#InstPath#\" /qn", 1), {0, "", {}, 0}, "MsiExec|/i \"x.msi\" /qn", 0, "", nullptr},
        {Section("Quoted", "x", "\"C:\\x y\\setup.exe\" /s /v", 1), {0, "", {}, 0}, "C:\\x y\\setup.exe|/s /v", 0, "", nullptr},
        {Section("Fails"), {1603, "", {}, 0}, "\"C:\\Fails.exe\"", 1603, "Setup was unable to install\n'\"C:\\Fails.exe\"'.",
         "MsiInstall('\"C:\\Fails.exe\"') failed. Error(1603)'Fatal error.'.\r\n"},
        {Section("Missing"), {0, "", {}, 2}, "\"C:\\Missing.exe\"", 2, "Setup was unable to find the file\n'\"C:\\Missing.exe\"'.",
         "Function ::CreateProcess(\"C:\\Missing.exe\") failed. Error=2.\r\n"},
        {Section("Refused", "C:\\a.exe", "", 1), {0, "", {}, 1223}, "C:\\a.exe|", 1223, "Setup was unable to install\n'\"C:\\a.exe\"'.",
         "Function ::ShellExecuteEx('C:\\a.exe' '') failed. Error=1223.\r\n"},
        {Section("Unsplit", "x", "setup.exe \"a\" /s", 1), {}, nullptr, 160, "Setup was unable to install\n'setup.exe \"a\" /s'.", nullptr},
        {Section("Unterminated", "x", "\"setup.exe /s", 1), {}, nullptr, 160, "Setup was unable to install\n'\"setup.exe /s'.", nullptr},
        {Section("Msiexec alone", "x", "msiexec", 1), {}, nullptr, 160, "Setup was unable to install\n'msiexec'.", nullptr},
    };
    for (const Case& c : cases) {
        Bench b;
        if (c.started) b.os.procs.children[c.started] = c.child;
        std::string error;
        EXPECT_EQ(InstallComponent(b.s, c.section, error), c.code) << c.section.Name;
        EXPECT_EQ(b.os.procs.started, c.started ? Lines{c.started} : Lines{}) << c.section.Name;
        EXPECT_EQ(error, c.error) << c.section.Name;
        EXPECT_TRUE(b.Logged("Install the component '" + c.section.Name + "'.\r\n"));
        if (c.failureLine) { EXPECT_TRUE(b.Logged(c.failureLine)) << c.section.Name; }
        EXPECT_EQ(b.os.LogEntries(b.logPath).back().rfind("MsiInstall(", 0), 0u) << c.section.Name;
    }
    Bench b;
    b.os.fileSystem.tempFolderFails = true;
    b.Reread();
    std::string error;
    EXPECT_EQ(InstallComponent(b.s, Section("NoTemp"), error), 3u);
    EXPECT_EQ(error, "Setup was unable to install\n'NoTemp'.") << "names the component at hand";
    EXPECT_TRUE(b.os.procs.started.empty());
}

TEST(InstallLoop, SelectedInOrderFailuresShownAdministratorAndDownloadsStop) {
    Bench b;
    std::vector<Component> list = {Component(Section("One")), Component(Section("Two")), Component(Section("Three"))};
    list[1].Selected = false;
    b.os.procs.children["\"C:\\One.exe\""].exitCode = 1603;
    b.os.procs.children["\"C:\\Three.exe\""].exitCode = 3010;
    RecordingWindows windows;
    InstallOutcome outcome;
    InstallSelectedComponents(b.s, list, windows, false, outcome);
    EXPECT_EQ(b.os.procs.started, (Lines{"\"C:\\One.exe\"", "\"C:\\Three.exe\""}));
    EXPECT_TRUE(outcome.rebootRequired);
    EXPECT_EQ(outcome.failedComponent + "|" + std::to_string(outcome.failedCode), "One|1603");
    EXPECT_FALSE(outcome.tampered);
    EXPECT_EQ(windows.statusTexts, (Lines{"Installing One.\r\nPlease wait...", "Installing Three.\r\nPlease wait..."}));
    ASSERT_EQ(b.os.userInterface.shown.size(), 1u) << "3010 shows nothing";
    EXPECT_EQ(b.os.userInterface.shown[0].text + "|" + b.os.userInterface.shown[0].caption,
              "Setup was unable to install\n'\"C:\\One.exe\"'.|Installation Error");
    EXPECT_EQ(b.os.userInterface.shown[0].owner, 77u);
    EXPECT_EQ(b.os.userInterface.waitCursors, 0) << "every wait cursor is restored";

    // Unattended: nothing is shown, nothing reported to the window.
    Bench quiet;
    RecordingWindows none;
    quiet.os.procs.children["\"C:\\One.exe\""].exitCode = 1603;
    InstallSelectedComponents(quiet.s, list, none, true, outcome);
    EXPECT_TRUE(quiet.os.userInterface.shown.empty());
    EXPECT_TRUE(none.statusTexts.empty());

    // No administrator: the loop stops, and says why in the log too.
    for (bool silent : {false, true}) {
        Bench admin;
        admin.os.sys.administrator = false;
        admin.Reread();
        list[0].section.AdminNeed = 1;
        InstallSelectedComponents(admin.s, list, windows, silent, outcome);
        EXPECT_TRUE(admin.os.procs.started.empty());
        EXPECT_EQ(admin.os.userInterface.shown.size(), silent ? 0u : 1u);
        EXPECT_TRUE(admin.Logged("Admin priviledges are required.\r\n"));
    }

    // A missing package with a Url: the download dialog decides.
    std::vector<Component> download = {Component(Section("Client", "C:\\pkg\\client.msi")), Component(Section("Next"))};
    download[0].section.Url = "http://example.invalid/client";
    for (int result : {2, -1, 0, 1}) {
        Bench d;
        d.os.procs.children["\"C:\\Next.exe\""];
        windows.downloadResult = result;
        InstallSelectedComponents(d.s, download, windows, true, outcome);
        EXPECT_EQ(d.os.procs.started, result == 1 ? Lines{"\"C:\\Next.exe\""} : Lines{}) << result;
    }
    Bench onDisk;
    onDisk.os.fileSystem.contents["C:\\pkg\\client.msi"];
    InstallSelectedComponents(onDisk.s, download, windows, true, outcome);
    EXPECT_EQ(onDisk.os.procs.started.size(), 2u) << "a package on the media installs";

    // A deployment tool that must not wait: no download dialog in an
    // unattended run; the component counts as cancelled.
    Bench never;
    never.s.uiLevel = UiLevel::Quiet;
    never.s.neverWait = true;
    never.os.procs.children["\"C:\\Next.exe\""];
    DialogWindows noOwner(never.s, 0);
    InstallSelectedComponents(never.s, download, noOwner, true, outcome);
    EXPECT_TRUE(never.os.procs.started.empty());
    EXPECT_TRUE(never.Logged("Download dialog for 'Client' not shown: the run must not wait for a person. "
                             "Treated as Cancel.\r\n"));
}

TEST(InstallLoop, AFileThatDoesNotMatchItsSha256IsNotRunAndStopsTheRun) {
    const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    Sha256 digest;
    digest.Update("abc", 3);
    EXPECT_EQ(digest.HexDigest(), abc);
    Sha256 million;
    const std::string chunk(1000, 'a');
    for (int i = 0; i < 1000; ++i) million.Update(chunk.data(), chunk.size());
    EXPECT_EQ(million.HexDigest(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(Sha256().HexDigest(), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");

    for (const std::string& expected : {abc, std::string("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"),
                                        std::string(64, '0')}) {
        Bench b;
        b.os.fileSystem.contents["C:\\One.exe"] = "abc";
        b.os.procs.children["\"C:\\One.exe\""];
        std::vector<Component> list = {Component(Section("One"))};
        list[0].section.Sha256 = expected;
        RecordingWindows windows;
        InstallOutcome outcome;
        InstallSelectedComponents(b.s, list, windows, false, outcome);
        const bool match = expected != std::string(64, '0');
        EXPECT_EQ(b.os.procs.started.size(), match ? 1u : 0u);
        EXPECT_EQ(outcome.tampered, !match);
        if (!match) {
            EXPECT_TRUE(b.Logged("Integrity check failed. File 'C:\\One.exe' has SHA-256 " + abc + ", expected " +
                                 expected + ".\r\n"));
            EXPECT_EQ(b.os.userInterface.shown.at(0).text, "Setup was unable to install\n'C:\\One.exe'.");
        }
    }
}

TEST(PrerequisitesDialog, TextsRowsTogglingAndStatus) {
    Bench b;
    std::vector<Component> plain = {Component(Section("Client")), Component(Section("Runtime")), Component(Section("Extra"))};
    plain[0].optionalState = OptionalState::Checked;
    plain[2].optionalState = OptionalState::Unchecked;
    plain[0].RunExeText = "a\\nb";
    plain[2].RunExeText = "c\\td\\";
    CMainDlg d(b.s, plain, b.package, "Caption");
    EXPECT_EQ(d.Caption(), "Caption");
    EXPECT_EQ(d.HeaderText(), "Demo requires the following components to be installed:");
    EXPECT_EQ(d.InstallButtonText() + d.CancelButtonText(), "&Install&Cancel");
    EXPECT_TRUE(d.HasCheckBoxes());
    Lines rows;
    for (const auto& row : d.Rows()) rows.push_back(row.text + "|" + std::to_string(row.image));
    EXPECT_EQ(rows, (Lines{"Client|1", "Runtime|2", "Extra|0"}));
    EXPECT_EQ(d.StatusText(), "a\r\nbcd");
    EXPECT_EQ(TranslateStatusText("\\\\n"), "n");
    EXPECT_EQ(TranslateStatusText("a\\n"), "a\r\n") << "a line break at the very end";
    EXPECT_EQ((std::vector<int>{d.ToggledImage(0), d.ToggledImage(1), d.ToggledImage(2)}), (std::vector<int>{1, 0, -1}));

    std::vector<Component> steps = {Component(Section("Old")), Component(Section("New"))};
    steps[0].section.IsUninstall = 1;
    CMainDlg u(b.s, steps, b.package, "Caption");
    EXPECT_FALSE(u.HasCheckBoxes());
    EXPECT_EQ(u.HeaderText(), "Demo setup requires the following steps to be executed:");
    EXPECT_EQ(u.InstallButtonText(), "Co&ntinue");
    EXPECT_EQ(u.Rows()[0].text + "|" + u.Rows()[1].text, "Uninstall Old|Install New");
}

TEST(PrerequisitesDialog, InstallTakesTheChoicesThenAsksAboutWhatIsStillMissing) {
    for (int answer : {7, 6}) {
        Bench b;
        std::vector<Component> list = {Component(Section("Client")), Component(Section("Extra")),
                                       Component(Section("Fails")), Component(Section("Old"))};
        list[0].optionalState = list[1].optionalState = OptionalState::Checked;
        list[3].section.IsUninstall = 1;
        for (const char* name : {"Client", "Extra", "Old"}) b.os.procs.children[std::string("\"C:\\") + name + ".exe\""];
        b.os.procs.children["\"C:\\Fails.exe\""].exitCode = 1603;
        b.os.procs.onStart = [&b](const std::string& command) {
            if (command == "\"C:\\Client.exe\"") b.os.fileSystem.versions["C:\\Client.dll"] = {0, 1, 0};
        };
        b.os.userInterface.answers = {1, answer};
        CMainDlg d(b.s, list, b.package, "Demo (1.0) Setup");
        EXPECT_EQ(d.Install(42, {1, 0, 2, 2}), answer == 6 ? 1 : 0);
        EXPECT_FALSE(list[1].Selected) << "the user unticked it";
        EXPECT_EQ(b.os.procs.started, (Lines{"\"C:\\Client.exe\"", "\"C:\\Fails.exe\"", "\"C:\\Old.exe\""}));
        ASSERT_EQ(b.os.userInterface.shown.size(), 2u);
        EXPECT_EQ(b.os.userInterface.shown[1].text,
                  "Not installed component(s):\n - 'Fails'\n\nDo you want to continue product installation?");
        EXPECT_EQ(b.os.userInterface.shown[1].caption, "Demo (1.0) Setup");
        EXPECT_EQ(b.os.userInterface.shown[1].flags, 0x24u);
        EXPECT_EQ(b.os.userInterface.statusTexts.back(), "");
    }
    Bench b;
    std::vector<Component> present = {Component(Section("Client"))};
    b.os.procs.children["\"C:\\Client.exe\""];
    b.os.procs.onStart = [&b](const std::string&) { b.os.fileSystem.versions["C:\\Client.dll"] = {0, 1, 0}; };
    CMainDlg d(b.s, present, b.package, "C");
    EXPECT_EQ(d.Install(42, {0}), 1) << "without check boxes every component is selected, and none is missing";
    EXPECT_TRUE(b.os.userInterface.shown.empty());
    present.push_back(Component(Section("Second")));
    present[0].optionalState = present[1].optionalState = OptionalState::Unchecked;
    d.Install(42, {0});
    EXPECT_EQ(present[0].Selected + 2 * present[1].Selected, 2) << "a row without an image stays selected";
}

TEST(DownloadDialog, TextsLinkRuleAndRecheck) {
    Bench b;
    Component c(Section("Client"));
    c.section.Url = "https://vendor.example/client";
    CDownloadDlg d(b.s, c);
    EXPECT_EQ(d.Caption() + "|" + d.RecheckButtonText() + "|" + d.CancelButtonText() + "|" + d.LinkLabel(),
              "Component Download|&Recheck|&Cancel|'Client' download page");
    EXPECT_EQ(d.Explanation(), "Installation package for component 'Client'  is missing. To install it manually:\n\n"
                               "- Follow link below to download package;\n- Install 'Client';\n"
                               "- Press 'Recheck' button to continue installation.");
    c.section.ChooseDownload = "the 32-bit edition";
    EXPECT_EQ(d.Explanation(), "Installation package for component 'Client'  is missing. To install it manually:\n\n"
                               "- Follow link below to download package;\n- Install 'Client'\n  the 32-bit edition;\n"
                               "- Press 'Recheck' button to continue installation.");
    for (const char* url : {"https://vendor.example/client", "HTTP://a.example", "http:x"}) {
        c.section.Url = url;
        EXPECT_EQ(d.LinkTarget(), url);
    }
    for (const char* url : {"file:///C:/x.exe", "C:\\Windows\\notepad.exe", "httpx://a", ""}) {
        c.section.Url = url;
        EXPECT_EQ(d.LinkTarget(), "") << url;
        EXPECT_TRUE(b.Logged(std::string("Download link '") + url + "' is not an http or https address; it is not opened.\r\n"));
    }
    EXPECT_FALSE(d.Recheck());
    b.os.fileSystem.versions["C:\\Client.dll"] = {0, 1, 0};
    EXPECT_TRUE(d.Recheck());
    EXPECT_TRUE(c.Present);
}

}  // namespace
}  // namespace setup
