// Installing components, the install loop and the prerequisites dialog.
#include <gtest/gtest.h>

#include "components/component_installer.h"
#include "components/prerequisites_dialog.h"
#include "config/integrity.h"
#include "fake_platform.h"

namespace setup {
namespace {

using Lines = std::vector<std::string>;
using fake::Bench;

// Missing until its installer has run.
Component Section(const std::string& name, const std::string& instPath = "", const std::string& instParams = "",
                  int32_t runAs = 0, const std::string& instRegPath = "") {
    ComponentDescriptor c;
    c.InstRegPath = instRegPath, c.Name = name, c.InstParams = instParams, c.RunAs = runAs;
    c.InstPath = instPath.empty() ? "C:\\" + name + ".exe" : instPath;
    c.FilePath = "C:\\" + name + ".dll";
    return Component(c);
}

Component Checked(Component c) { return c.section.Sha256 = std::string(64, '0'), c; }

struct RecordingWindows : PrerequisiteWindows {
    platform::WindowRef Owner() override { return 77; }
    void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
    int RunDownloadDialog(Component&) override { return downloadResult; }
    Lines statusTexts;
    int downloadResult = 2;
};

TEST(ComponentInstaller, CommandLinesResultsAndErrorTexts) {
    struct Case {
        Component component;
        uint32_t exitCode, startError;
        const char* started;  // as the runner sees it
        uint32_t code;
        std::string error;  // shown|logged
    };
    const std::string notInstalled = "Setup was unable to install\n'";
    const Case cases[] = {
        {Section("Msi", "C:\\Kits\\c.msi", "msiexec /i \"#InstPath#\" /qn /l*v \"#Temp#c.log\" SRC=#Root#"), 3010, 0,
         "msiexec /i \"C:\\Kits\\c.msi\" /qn /l*v \"C:\\Temp\\c.log\" SRC=C:\\Kits", 3010, ""},
        {Section("Elevated", "C:\\Kits\\a b.exe", "", 1), 1641, 0, "C:\\Kits\\a b.exe|", 1641, ""},
        {Section("Quoted", "x", "\"C:\\x y\\setup.exe\" /s /v", 1), 0, 0, "C:\\x y\\setup.exe|/s /v", 0, ""},
        // Its own file is quoted (not "C:\Setup.exe" first); a word of an InstRegPath command is no file.
        {Section("Blank", "C:\\Setup Files\\tool.exe", "#InstPath# /q"), 0, 0, "\"C:\\Setup Files\\tool.exe\" /q", 0, ""},
        {Section("Uninstall", "C:\\Program", "C:\\Program Files\\u.exe /S", 0, "HKLM\\X"), 0, 0,
         "C:\\Program Files\\u.exe /S", 0, ""},
        {Section("Fails"), 1603, 0, "\"C:\\Fails.exe\"", 1603,
         notInstalled + "\"C:\\Fails.exe\"'.|MsiInstall('\"C:\\Fails.exe\"') failed. Error(1603)'Fatal error.'.\r\n"},
        {Section("Missing"), 0, 2, "\"C:\\Missing.exe\"", 2,
         "Setup was unable to find the file\n'\"C:\\Missing.exe\"'.|Function ::CreateProcess(\"C:\\Missing.exe\") "
         "failed. Error=2.\r\n"},
        {Section("Refused", "C:\\a.exe", "", 1), 0, 1223, "C:\\a.exe|", 1223,
         notInstalled + "\"C:\\a.exe\"'.|Function ::ShellExecuteEx('C:\\a.exe' '') failed. Error=1223.\r\n"},
        {Section("Unsplit", "x", "setup.exe \"a\" /s", 1), 0, 0, nullptr, 160, notInstalled + "setup.exe \"a\" /s'."},
        // A checked file is the application; through "runas" without the zone check.
        {Checked(Section("Checked", "C:\\Kits\\r.exe", "#InstPath#")), 0, 0, "<C:\\Kits\\r.exe> \"C:\\Kits\\r.exe\"", 0, ""},
        {Checked(Section("Checked", "C:\\Kits\\r.exe", "#InstPath# /q", 1)), 0, 0, "C:\\Kits\\r.exe|/q|checked", 0, ""},
    };
    for (const Case& c : cases) {
        Bench b;
        if (c.started) b.os.procs.children[c.started] = {{}, c.startError, c.exitCode, ""};
        std::string error;
        EXPECT_EQ(InstallComponent(b.s, c.component.section, error), c.code);
        EXPECT_EQ(b.os.procs.started, c.started ? Lines{c.started} : Lines{});
        const size_t bar = c.error.find('|');
        EXPECT_EQ(error, c.error.substr(0, bar));
        EXPECT_TRUE(bar == std::string::npos || b.Logged(c.error.substr(bar + 1))) << c.error;
    }
    Bench b;
    b.os.fileSystem.tempFolder.clear();
    b.Reread();
    std::string error;
    EXPECT_EQ(InstallComponent(b.s, Section("NoTemp").section, error), 3u);
    EXPECT_EQ(error, notInstalled + "NoTemp'.") << "names the component at hand";
    EXPECT_TRUE(b.os.procs.started.empty());
}

// Unattended (no box): the runs' passive failing component.
TEST(InstallLoop, SelectedInOrderFailuresShownOverTheDialogAStartedRestartEndsIt) {
    std::vector<Component> list = {Section("One"), Section("Two"), Section("Three"), Section("Four"), Section("Five")};
    list[1].Selected = false;
    Bench b;
    b.os.procs.children["\"C:\\One.exe\""].exitCode = 1603;
    b.os.procs.children["\"C:\\Three.exe\""].exitCode = 3010;
    b.os.procs.children["\"C:\\Four.exe\""].exitCode = 1641;
    RecordingWindows windows;
    InstallOutcome outcome;
    InstallSelectedComponents(b.s, list, windows, false, true, outcome);
    EXPECT_EQ(b.os.procs.started, (Lines{"\"C:\\One.exe\"", "\"C:\\Three.exe\"", "\"C:\\Four.exe\""}));
    EXPECT_EQ(outcome.failedComponent + "|" + std::to_string(outcome.failedCode), "One|1603");
    EXPECT_TRUE(outcome.rebootRequired && outcome.restartStarted && !outcome.tampered);
    EXPECT_EQ(b.os.userInterface.shown, Lines{"Installation Error|Setup was unable to install\n'\"C:\\One.exe\"'."});
    EXPECT_EQ(b.os.userInterface.owner, 77u);
    EXPECT_EQ(windows.statusTexts.size(), 3u);
    EXPECT_EQ(windows.statusTexts[0], "Installing One.\r\nPlease wait...");
    EXPECT_EQ(b.os.userInterface.waitCursors, 0) << "every wait cursor is restored";
}

// The post-requisites too stop at a file that does not match.
TEST(InstallLoop, PlannedStopsAndTheDownloadDialog) {
    using R = LoopStop::Reason;
    struct Case {
        R stop;
        bool asksDownload, silent;
        int download;         // the dialog's result: 1 when the component is there now
        std::string outcome;  // started, boxes, where the loop stopped
        std::string entry;
    };
    const Case cases[] = {
        {R::Administrator, false, false, 0, "0|1|Client", "Admin priviledges are required.\r\n"},
        {R::Administrator, false, true, 0, "0|0|Client", "Admin priviledges are required.\r\n"},
        {R::Download, false, true, 0, "0|0|Client", "Download dialog for 'Client' not shown: the run must not wait for a person. Treated as Cancel.\r\n"},
        {R::None, true, true, 2, "0|0|Client", ""},
        {R::None, true, true, 1, "1|0|", ""},
        {R::Digest, false, false, 0, "0|1|Client", "Integrity check failed. Can't read file 'C:\\pkg\\client.msi'.\r\n"},
    };
    for (const Case& c : cases) {
        Bench b;
        std::vector<Component> list = {Section("Client", "C:\\pkg\\client.msi"), Section("Next")};
        list[0].stop = c.stop, list[0].asksDownload = c.asksDownload;
        std::unique_ptr<platform::Held> held;
        list[0].digest = CheckSha256(b.os.fileSystem, list[0].section.InstPath, std::string(64, '0'), &held);
        b.os.procs.children["\"C:\\Next.exe\""];
        RecordingWindows windows;
        windows.downloadResult = c.download;
        InstallOutcome outcome;
        InstallSelectedComponents(b.s, list, windows, c.silent, false, outcome);
        EXPECT_EQ(Format("%u|%u|", unsigned(b.os.procs.started.size()), unsigned(b.os.userInterface.shown.size())) +
                      outcome.stopped.component, c.outcome) << c.entry;
        EXPECT_EQ(outcome.stopped.reason, c.outcome.back() == '|' ? R::None : c.asksDownload ? R::Download : c.stop);
        EXPECT_TRUE(c.entry.empty() || b.Logged(c.entry)) << c.entry;
        EXPECT_EQ(outcome.tampered, c.stop == R::Digest);
        if (c.stop != R::Digest) continue;
        InstallOutcome post;
        InstallPostRequisites(b.s, list, false, post);
        EXPECT_EQ(post.stopped.component + "|" + std::to_string(post.failedCode), "Client|13");
    }
    // The download dialog's link opens web pages only.
    Bench b;
    Component web = Section("Web");
    CDownloadDlg d(b.s, web);
    web.section.Url = "HTTPS://x.invalid/c";
    const std::string opened = d.LinkTarget();
    web.section.Url = "C:\\x.exe";
    EXPECT_EQ(opened + "|" + d.LinkTarget(), "HTTPS://x.invalid/c|");
    EXPECT_TRUE(b.Logged("Download link 'C:\\x.exe' is not an http or https address; it is not opened.\r\n"));
}

TEST(Integrity, AFileWithASha256IsNamedByOnePathCheckedAndHeld) {
    Sha256 million;
    const std::string chunk(1000, 'a');
    for (int i = 0; i < 1000; ++i) million.Update(chunk.data(), chunk.size());
    EXPECT_EQ(million.HexDigest(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", zeros(64, '0');
    struct Case {
        const char *instPath, *instParams;
        std::string sha256;
        const char* path;
        const char* verdict;  // N (not asked), M, D(iffers), U(nreadable)
    };
    const Case cases[] = {
        {"sub\\r.exe", "", abc, "C:\\Kits\\sub\\r.exe", "M"},
        {"r", "\"#InstPath#\" /q", "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD", "C:\\Kits\\r.exe", "M"},
        {"r", "msiexec /i \"#InstPath#\"", abc, "C:\\Kits\\r", "U"},
        {"sub\\r.exe", "", "", "sub\\r.exe", "N"},
        {"C:\\Written.exe", "", abc, "C:\\Written.exe", "U"},
        {"r.msi", "", zeros, "C:\\Kits\\r.msi", "D"},
    };
    for (const Case& c : cases) {
        Bench b;
        for (auto path : {"C:\\Kits\\sub\\r.exe", "C:\\Kits\\r.exe", "C:\\Kits\\r.msi", "C:\\Written.exe"}) b.os.fileSystem.contents[path] = "abc";
        b.os.fileSystem.contents["sub\\r.exe"] = "decoy in the current folder";
        b.os.fileSystem.unopenable.insert("C:\\Written.exe");  // open for writing elsewhere
        ComponentDescriptor d;
        d.InstPath = c.instPath, d.InstParams = c.instParams, d.Sha256 = c.sha256;
        const std::string path = WithCheckedPath("C:\\Kits", d).InstPath;
        EXPECT_EQ(path, c.path);
        {
            std::unique_ptr<platform::Held> held;
            const DigestCheck check = CheckSha256(b.os.fileSystem, path, c.sha256, &held);
            EXPECT_EQ("NMDU"[static_cast<int>(check.verdict)], c.verdict[0]) << path;
            EXPECT_EQ(b.os.fileSystem.holds[path], c.verdict[0] == 'M') << "a match is held while the caller keeps it";
            if (check.verdict != DigestCheck::Verdict::Differs) continue;
            LogDigestRefusal(b.log, check);
            EXPECT_TRUE(b.Logged("Integrity check failed. File 'C:\\Kits\\r.msi' has SHA-256 " + abc + ", expected " + zeros + ".\r\n"));
        }
        EXPECT_EQ(b.os.fileSystem.holds[path], 0);
    }
}

TEST(PrerequisitesDialog, RowsTogglingStatusAndTheTicksInstalled) {
    Bench b;
    const PackageFacts package;
    std::vector<Component> plain = {Section("Client"), Section("Runtime"), Section("Extra")};
    plain[0].optionalState = OptionalState::Checked, plain[2].optionalState = OptionalState::Unchecked;
    plain[0].RunExeText = "a\\nb", plain[2].RunExeText = "c\\td\\";
    CMainDlg d(b.s, plain, package, "Caption", false);
    EXPECT_TRUE(d.HasCheckBoxes());
    Lines rows;
    for (const auto& row : d.Rows()) rows.push_back(row.text + "|" + std::to_string(row.image));
    EXPECT_EQ(rows, (Lines{"Client|1", "Runtime|2", "Extra|0"}));
    EXPECT_EQ(d.StatusText(), "a\r\nbcd");
    EXPECT_EQ(TranslateStatusText("a\\n"), "a\r\n") << "a line break at the very end";
    EXPECT_EQ((std::vector<int>{d.ToggledImage(0), d.ToggledImage(1), d.ToggledImage(2)}), (std::vector<int>{1, 0, -1}));
    b.os.procs.children["\"C:\\Client.exe\""];
    b.os.procs.children["\"C:\\Runtime.exe\""];
    b.os.fileSystem.versions["C:\\Client.dll"] = b.os.fileSystem.versions["C:\\Runtime.dll"] = {1, 0};
    EXPECT_EQ(d.Install(42, {1, 2, 0}), 1) << "nothing selected is missing: nothing asked";
    EXPECT_EQ(b.os.procs.started, (Lines{"\"C:\\Client.exe\"", "\"C:\\Runtime.exe\""}));

    std::vector<Component> steps = {Section("Old"), Section("New")};
    steps[0].section.IsUninstall = 1;
    CMainDlg u(b.s, steps, package, "Caption", false);
    EXPECT_FALSE(u.HasCheckBoxes());
    EXPECT_EQ(d.InstallButtonText() + u.InstallButtonText(), "&InstallCo&ntinue") << "an uninstall step makes steps";
    // Still missing after its installer: the question names it, but no uninstall step.
    b.os.procs.children["\"C:\\Old.exe\""], b.os.procs.children["\"C:\\New.exe\""], b.os.userInterface.answers = {7};
    EXPECT_EQ(u.Install(42, {1, 1}), 0);
    EXPECT_EQ(b.os.userInterface.shown.back(),
              "Caption|Not installed component(s):\n - 'New'\n\nDo you want to continue product installation?");
}

}  // namespace
}  // namespace setup
