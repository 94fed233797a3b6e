// setupcheck --detect: the run's plan in the checker's words (the rules as Windows answers them: end to end).
#include <gtest/gtest.h>

#include "checker/setupcheck_command.h"
#include "diagnostics/text_format.h"
#include "driver/command_line.h"
#include "fake_platform.h"

namespace setup {
namespace {

struct NoArchives : checker::ArchiveTools {
    bool MakeFolders(const std::string&) override { return false; }
};

const std::string kComponents =
    "SendErrorLogTo=a@b\n[PreReq0]\nName=Runtime\nInstPath=r.exe\nFilePath=C:\\none.dll\nFileVer=1.0\nOptional=0\n"
    "[PreReq1]\nName=Web\nUrl=http://x\nInstPath=w.exe\nRegPath=HKEY_LOCAL_MACHINE\\S\\V\nRegCond=DWORD>=1\n"
    "[PreReq2]\nName=Probe\nInstPath=r.exe\nRunExeCond=\"probe\" 2\n[PreReq3]\nName=Always\nInstPath=r.exe\n"
    "[PostReq0]\nName=Notes\nInstPath=n.exe\n";
const std::string kRules =
    "PreReq0 Runtime: missing, listed, not ticked, installed by setup.exe\n  rule: FilePath=C:\\none.dll FileVer=1.0.0.0\n"
    "  observed: file 'C:\\none.dll': no version, Error(2)'Not found.'.\nPreReq1 Web: missing, listed, not installed "
    "unattended, <web>\n  rule: HKEY_LOCAL_MACHINE\\S\\V DWORD>=1\n  observed: registry HKEY_LOCAL_MACHINE\\S\\V (32-bit "
    "view): Error(2)'Not found.'.\nPreReq2 Probe: missing, listed, <probe>\n  rule: RunExeCond=\"probe\" 2\n"
    "  observed: program '\"probe\" 2': exit code 0, output ''\nPreReq3 Always: present\n  rule: none (never missing)\n"
    "PostReq0 Notes: runs, listed, not installed unattended\n";
const std::string kRecord = " /record C:\\r.json";

std::string Rules(const std::string& web, const std::string& probe) {
    std::string text = kRules;
    ReplaceAll(text, "<web>", web), ReplaceAll(text, "<probe>", probe);
    return text;
}

TEST(DetectionReport, ThePlanInTheCheckersWords) {
    const struct {
        std::string ini, line;  // ini after "MsiPath=demo.msi\n"; the run's command line
        std::string text;       // after the host's line up to its MinWinVersion
        bool x86 = false;       // on 32-bit Windows
    } rows[] = {
        {kComponents, "/i",
         "not set\nCommand line: /i\nPrerequisites run: a fresh install\nPlan: a fresh install\n"
         "  1. prerequisites: the dialog lists PreReq0 Runtime, PreReq1 Web, PreReq2 Probe\n"
         "  2. MsiInstallProduct C:\\Kits\\demo.msi with command line: \n  3. post-requisites: PostReq0 Notes\n"
         "  a person answers: the prerequisites dialog\n"
         "  a person answers: the download dialog of PreReq1 Web (its installer is not on the media)\n"
         "  a person answers: the restart question (when a component asks for a restart)\n"
         "  a person answers: the mail question (after a failure)\n" +
             Rules("its installer is not on the media: the download dialog", "installed by setup.exe")},
        {kComponents, "/i /quiet" + kRecord,
         "not set\nCommand line: /i /quiet /record C:\\r.json (never waits for a person)\n"
         "Prerequisites run: a fresh install\nPlan: a fresh install\n  1. prerequisites: PreReq0 Runtime\n"
         "  2. the install loop stops at Web: download (the components after it are not installed; the product is)\n"
         "  3. MsiInstallProduct C:\\Kits\\demo.msi with command line: \n  4. post-requisites: PostReq0 Notes\n" +
             Rules("an install loop stops here: download", "not installed unattended")},
        {"MinWinVersion=99.0\n", "/i /quiet",
         "not met\nCommand line: /i /quiet\nPrerequisites not run: MinWinVersion not met\n"
         "Plan: the run stops at host checks: MinWinVersion not met (exit code 3)\n"},
        {"", "/i /quiet",
         "not set\nCommand line: /i /quiet\nPrerequisites not run: a 64-bit package on 32-bit Windows\n"
         "Plan: the run stops at host checks: a 64-bit package on 32-bit Windows (exit code 3)\n", true},
        {"MsiType=Bogus\n", "/i /quiet" + kRecord,
         "not set\nCommand line: /i /quiet /record C:\\r.json (never waits for a person)\n"
         "Prerequisites not run: MsiType 'Bogus' does not fit the package\n"
         "Plan: the run stops at package: MsiType 'Bogus' does not fit the package (exit code 3)\n"},
        {"", "/a C:\\Image",
         "not set\nCommand line: /a C:\\Image\nPrerequisites not run: an administrative install\n"
         "Plan: an administrative install\n"
         "  1. MsiInstallProduct C:\\Kits\\demo.msi with command line: TARGETDIR=\"C:\\Image\"  ACTION=ADMIN\n"},
        {"MsiPatch=1\nName=Demo\n", "/i",
         "not set\nCommand line: /i\nPrerequisites not run: a patch\nPlan: a patch\n"
         "  1. the patch question (No ends the run with exit code 0)\n"
         "  2. MsiApplyPatch C:\\Kits\\demo.msi with command line:  (the installer's interface at level 3)\n"
         "  a person answers: the patch question\n"
         "  a person answers: the restart question (when a component asks for a restart)\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.ini + row.line);
        fake::Platform os;
        os.Kit("[Main]\nMsiPath=demo.msi\n" + row.ini);
        os.sys.architecture = row.x86 ? 0 : 9;
        os.fileSystem.contents["C:\\Kits\\r.exe"], os.fileSystem.contents["C:\\Kits\\probe.exe"];
        os.procs.children["\"C:\\Kits\\probe.exe\" 2"] = {};  // from the media's folder, as setup.exe starts it
        std::vector<std::string> args = {"--detect", "C:\\Kits", "--"};
        for (Token t; NextToken(row.line, t.End(), &t);) args.push_back(row.line.substr(t.start, t.length));
        NoArchives archives;
        const std::string host =
            Format("Windows 10.0, %s-bit, administrator: yes, MinWinVersion: ", row.x86 ? "32" : "64");
        EXPECT_EQ(checker::RunSetupCheck(args, os.fileSystem, os.msi, archives, &os).out, host + row.text);
    }
}

}  // namespace
}  // namespace setup
