#include "conditions/presence_probes.h"

#include <gtest/gtest.h>

#include "driver/session.h"
#include "fake_platform.h"

namespace setup {
namespace {

class ProbeTest : public ::testing::Test {
protected:
    ProbeTest() : s(os) {
        s.ctx.logPath = "C:\\Temp\\setup.log";
        os.sys.errorTexts[2] = "The system cannot find the file specified.\r\n";
    }
    bool Logged(const std::string& text) {
        return os.Utf16File(s.ctx.logPath).find("]: " + text) != std::string::npos;
    }
    fake::Platform os;
    Session s;
};

TEST_F(ProbeTest, WindowsFiltersComeFirstAndLeavePresentAlone) {
    struct Case {
        int32_t osBit, osVer;
        uint16_t architecture;
        uint32_t major, minor;
        bool applies;
    };
    const Case cases[] = {
        {1, 0, 9, 10, 0, false}, {2, 0, 0, 10, 0, false}, {1, 0, 0, 10, 0, true},
        {2, 0, 9, 10, 0, true},  {3, 0, 9, 10, 0, true},  {0, 601, 9, 6, 0, false},
        {0, 601, 9, 6, 1, true}, {0, 601, 9, 10, 0, true}, {0, -502, 9, 6, 1, false},
        {0, -502, 9, 5, 1, true},
    };
    for (const Case& c : cases) {
        ComponentDescriptor d;
        d.OSbit = c.osBit;
        d.OSver = c.osVer;
        d.FilePath = "C:\\missing.dll";  // needed whenever it applies
        os.sys.architecture = c.architecture;
        os.sys.major = c.major;
        os.sys.minor = c.minor;
        EXPECT_EQ(IsComponentNeeded(s, d), c.applies) << c.osBit << " " << c.osVer;
        EXPECT_FALSE(d.Present);
    }
    ComponentDescriptor d;
    d.OSver = 601;
    d.FilePath = "C:\\missing.dll";
    os.sys.versionFails = true;
    EXPECT_FALSE(IsComponentNeeded(s, d));
}

TEST_F(ProbeTest, FirstProbeWhoseKeyIsSetDecides) {
    os.fileSystem.versions["C:\\ok.dll"] = {0, 0x00020000, 0};
    ComponentDescriptor both;
    both.FilePath = "C:\\ok.dll";
    both.MsiProd = "yes";
    both.InstPath = "C:\\missing.msi";  // would be needed by its package
    EXPECT_FALSE(IsComponentNeeded(s, both));
    EXPECT_TRUE(both.Present);

    ComponentDescriptor none;
    EXPECT_FALSE(IsComponentNeeded(s, none));
    EXPECT_TRUE(none.Present);

    ComponentDescriptor package;
    package.MsiProd = "1";
    package.InstPath = "C:\\missing.msi";
    EXPECT_TRUE(IsComponentNeeded(s, package));
    EXPECT_FALSE(package.Present);

    fake::Package p;
    p.properties = {{"ProductCode", "{P}"}, {"ProductVersion", "1.0"}};
    os.msi.packages["C:\\pkg.msi"] = p;
    package.InstPath = "C:\\pkg.msi";
    for (int state : {5, 1}) {
        os.msi.productStates["{P}"] = state;
        EXPECT_FALSE(IsComponentNeeded(s, package)) << state;
    }
}

TEST_F(ProbeTest, FileVersionProbe) {
    struct Case {
        fake::Files::Version version;
        bool exists;
        const char* required;
        bool valid;
        const char* entry;
    };
    const Case cases[] = {
        {{0, 0x00020001, 0x00030004}, true, "2.1.3.4", true, nullptr},
        {{0, 0x00020001, 0x00030004}, true, "", true, nullptr},
        {{0, 0x00020001, 0x00030004}, true, "2.1.3.5", false,
         "IsValidFileVersion() failed. Current version(2.1.3.4) of file 'C:\\a.dll' early of required file vesion(2.1.3.5)."},
        {{0, 0xFFFFFFFFu, 0xFFFFFFFFu}, true, "9.9", true, nullptr},
        {{1813, 0, 0}, true, "", false,
         "IsValidFileVersion() failed. Can't get version of file 'C:\\a.dll'. Error(1813)'Unknown error 0x00000715'."},
        {{}, false, "", false,
         "IsValidFileVersion() failed. Can't get version of file 'C:\\a.dll'. Error(2)'The system cannot find the file specified.'."},
    };
    for (const Case& c : cases) {
        os.fileSystem.contents.clear();
        os.fileSystem.versions.clear();
        if (c.exists) os.fileSystem.versions["C:\\a.dll"] = c.version;
        EXPECT_EQ(IsValidFileVersion(s, "C:\\a.dll", ParseVersionValue(c.required), 0), c.valid);
        if (c.entry) {
            EXPECT_TRUE(Logged(std::string(c.entry) + "\r\n")) << os.Utf16File(s.ctx.logPath);
        }
    }
    os.fileSystem.versions["C:\\a.dll"] = {0, 0x00010000, 0};
    os.fileSystem.loadErrors["C:\\a.dll"] = 193;
    EXPECT_FALSE(IsValidFileVersion(s, "C:\\a.dll", VersionValue(), 1));
    EXPECT_TRUE(Logged("IsValidFileVersion() failed. Can't load file 'C:\\a.dll'. Error(193)'Unknown error 0x000000C1'.\r\n"));
    EXPECT_TRUE(IsValidFileVersion(s, "C:\\a.dll", VersionValue(), 0));
}

TEST_F(ProbeTest, ConditionProgramExitCodes) {
    struct Case {
        uint32_t exitCode;
        bool needed;
        OptionalState state;
        bool selected;
        const char* text;
    };
    const Case cases[] = {
        {0, true, OptionalState::Checked, true, ""},
        {1, false, OptionalState::NoCheckBox, true, ""},
        {2, true, OptionalState::Unchecked, false, "needs a licence"},
        {7, false, OptionalState::NoCheckBox, true, ""},
    };
    for (const Case& c : cases) {
        os.procs.children["C:\\Kits\\check.exe /q"] = {c.exitCode, "needs a licence", {}, 0};
        ComponentDescriptor d;
        d.RunExeCond = "#Root#\\check.exe /q";
        EXPECT_EQ(IsComponentNeeded(s, d), c.needed) << c.exitCode;
        EXPECT_EQ(d.optionalState, c.state);
        EXPECT_EQ(d.Selected, c.selected);
        EXPECT_EQ(d.RunExeText, c.text);
        EXPECT_EQ(d.Present, !c.needed);
        EXPECT_TRUE(Logged("Process 'C:\\Kits\\check.exe /q' return code " + std::to_string(c.exitCode) + "\r\n"));
    }
    EXPECT_TRUE(Logged("Process 'C:\\Kits\\check.exe /q' return text 'needs a licence'\r\n"));
}

TEST_F(ProbeTest, ConditionProgramFailuresMeanNotNeeded) {
    using Failure = platform::CapturedRun::Failure;
    os.procs.children["pipe"] = {0, "", Failure::Pipe, 8};
    os.procs.children["read"] = {0, "", Failure::Read, 5};
    ComponentDescriptor d;
    for (const char* command : {"pipe", "read", "#Root#\\absent.exe"}) {
        d.RunExeCond = command;
        EXPECT_FALSE(IsComponentNeeded(s, d)) << command;
    }
    EXPECT_TRUE(Logged("RunExe::Function CreatePipe() failed. Error(8)'Unknown error 0x00000008'.\r\n"));
    EXPECT_TRUE(Logged("Process 'read' return code 0\r\n"));
    EXPECT_TRUE(Logged("RunExe::Function ReadFile() failed. Error(5)'Unknown error 0x00000005'.\r\n"));
    EXPECT_TRUE(Logged("RunExe::Function CreateProcess('#Root#\\absent.exe') failed. Error(2)'The system "
                       "cannot find the file specified.'.\r\n"))
        << "the failure names the command as configured";
}

TEST_F(ProbeTest, OutputStopsAtItsFirstNul) {
    os.procs.children["c"] = {2, std::string("line\0rest", 9), {}, 0};
    uint32_t exitCode = 99;
    std::string output = "stale";
    EXPECT_TRUE(RunExe(s, "c", &exitCode, &output));
    EXPECT_EQ(exitCode, 2u);
    EXPECT_EQ(output, "line");
}

TEST_F(ProbeTest, PathMacros) {
    struct Case {
        const char* text;
        const char* replaced;
    };
    const Case cases[] = {
        {"#System#\\x.dll", "C:\\windows\\syswow64\\x.dll"},
        {"#CommonProgramFiles#\\a;#Root#\\b;#Root#", "C:\\Program Files (x86)\\Common Files\\a;C:\\Kits\\b;C:\\Kits"},
        {"#root#\\x", "#root#\\x"},
        {"##System##", "#C:\\windows\\syswow64#"},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        ReplacePathMacros(s, text);
        EXPECT_EQ(text, c.replaced);
    }
    os.fileSystem.commonFilesFails = true;
    std::string common = "#CommonProgramFiles#\\x";
    ReplacePathMacros(s, common);
    EXPECT_EQ(common, "\\x");
    os.fileSystem.systemFolderFails = true;
    std::string untouched = "#System#;#Root#";
    ReplacePathMacros(s, untouched);
    EXPECT_EQ(untouched, "#System#;#Root#") << "no macro is replaced without the system folder";
}

TEST_F(ProbeTest, FileExistsMatchesPatterns) {
    os.fileSystem.contents["C:\\Kits\\pkg\\client-1.2.msi"] = "";
    EXPECT_TRUE(FileExists(s, "C:\\Kits\\pkg\\client-*.msi"));
    EXPECT_FALSE(FileExists(s, "C:\\Kits\\pkg\\server-*.msi"));
}

}  // namespace
}  // namespace setup
