// setup.ini into plain data, registry conditions and the presence probes.
#include <gtest/gtest.h>

#include <set>

#include "checker/media_check.h"
#include "components/component_installer.h"
#include "conditions/component_sources.h"
#include "conditions/presence_probes.h"
#include "conditions/registry_conditions.h"
#include "config/configuration.h"
#include "config/version_strings.h"
#include "fake_platform.h"

namespace setup {
namespace {

using Lines = std::vector<std::string>;
using V = Finding::Verdict;

std::string Dword(uint32_t v) { return std::string{char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24)}; }
std::string Text(const std::string& t) { return t + std::string(1, '\0'); }

using fake::Bench;

TEST(Configuration, ModulePathsProfileRulesMainKeysAndOptionalPresence) {
    const std::pair<const char*, const char*> modules[] = {
        {"C:\\My.Kits\\setup", "C:\\My|C:\\My.Kits|C:\\My.Kits\\|C:\\My.ini"},
        {"setup.exe", "setup||\\|setup.ini"},
    };
    for (const auto& [path, parts] : modules) {
        EXPECT_EQ(ModulePathPart(path, true, false) + "|" + ModulePathPart(path, false, false) + "|" +
                      ProgramFolder(path) + "|" + IniPathOf(path), parts);
    }
    // Read by the Windows profile rules (UTF-16 and its mark: the media corpus).
    const std::pair<std::string, std::string> files[] = {
        {"[Main]\nmsipath=demo.msi\nAdminNeed=0\nLangId=1049x\n", "demo.msi|Install|0|1049|0|0"},
        {"[Main]\nMsiPatch=1\nOs32Need=1\n", "|Major|1|0|1|1"},
        {"[Main]\nMsiType=\nAdminNeed=\nLangId= -3x\n", "||1|-3|0|0"},  // present but empty
        {"[Main]\rX=2\rMsiPath=1", "1|Install|1|0|0|0"},
        {"  [ main ] x\n\t;MsiPath=1\n\n\t MsiPath \t=  x  y \t\n", "x  y|Install|1|0|0|0"},
        {"[Main]\nMsiType\nMsiPath=1\n[main]\nMsiPath=2\nmsipath=3\n", "1||1|0|0|0"},
        {"[Main]\nMsiPath='x'\nMsiType=\"a\" b \"c\"\n", "x|a\" b \"c|1|0|0|0"},
        {"[Main]\nMsiPath=" + std::string(3000, 'x'), std::string(2047, 'x') + "|Install|1|0|0|0"},
    };
    fake::Platform os;
    const IniFile ini(os.fileSystem, "C:\\Kits\\setup.ini");
    for (const auto& [file, read] : files) {
        os.fileSystem.SetIni(file);
        const MainSettings m = ReadMainSettings(ini);
        EXPECT_EQ(m.MsiPath + "|" + m.MsiType + Format("|%d|%d|%d|%d", m.AdminNeed, m.LangId, m.MsiPatch, m.Os32Need), read);
    }
    const std::string listing = platform::posix::ProfileFile("[S]\nA=" + std::string(3000, 'v')).SectionListing("S", 2048);
    EXPECT_EQ(listing.substr(2044), std::string("vv\0\0", 4)) << "cut as the system cuts it";

    const std::pair<std::string, int> optional[] = {
        {"Name=A\n", -1}, {"   Optional=0\n", 0}, {"optional=1\n", -1}, {"OptionalX=0\n", 1},
        {"Name=" + std::string(2100, 'n') + "\nOptional=0\n", -1}};
    for (const auto& [text, value] : optional) {
        os.fileSystem.SetIni("[PreReq0]\n" + text);
        EXPECT_EQ(ini.IntegerIfPresent(schema::kPrerequisites, "PreReq0", "Optional"), value) << text.substr(0, 20);
    }
    const std::pair<const char*, bool> keys[] = {{"regpath", true}, {"RegPath31", true}, {"RegPath32", false},
        {"RegPath01", false}, {"RegPath3x", false}, {"RegPath123", false}, {"Name", true}, {"Name1", false}};
    for (const auto& [key, known] : keys) EXPECT_EQ(schema::kPrerequisites.Find(key) != nullptr, known) << key;
    EXPECT_EQ(schema::MacrosOf(*schema::kPrerequisites.Find("InstParams")), (Lines{"#InstPath#", "#Root#", "#Temp#"}));
}

TEST(ComponentSections, KeysMacrosRegistryInstallersAndTheSpecialNames) {
    fake::Platform os;
    const std::string key = "Software\\Uninstall\\App", at = "\nInstRegPath=HKEY_LOCAL_MACHINE\\" + key;
    os.reg.Set(key, "Command", Text("C:\\App\\uninst.exe /x{code}"));
    os.reg.Set(key, "NoBlank", Text("C:\\App\\uninst.exe"));
    os.reg.Set(key, "NotText", "C:\\App\\uninst.exe /x");
    os.reg.Set(key, "Long", Text("C:\\x.exe " + std::string(251, 'a')));  // 261 bytes: does not fit
    os.sys.environment["Path"] = std::string(8000, 'x') + ";C:\\oracle\\bin";
    os.fileSystem.contents["C:\\oracle\\bin\\oci.dll"];
    os.fileSystem.SetIni(
        "[PreReq0]\nName=Client\nUrl=http://x.invalid/c\nInstPath=#Root#\\client.msi\n"
        "InstParams=/i \"#InstPath#\"\nAdminNeed=0\nRunAs=1\nOSbit=3\nOSver=-1002\nKey64=1\n"
        "FilePath=#System#\\c.dll;#CommonProgramFiles#\nFileVer=2.5\nChooseDownload=32-bit\n"
        "RegPath5=HKEY_LOCAL_MACHINE\\C\\V\nRegCond5=DWORD=1\nRegPath=HKEY_LOCAL_MACHINE\\X\nOptional=0\n"
        "[PreReq1]\nName=Oracle Instant Client\nInstPath=o.exe\n"
        "[PreReq2]\nName=Old\nInstRegPath=hkey_local_machine\\" + key + "\\Command\nInstParams=/quiet\nOptional=1\n"
        "[PreReq3]\nName=NoBlank" + at + "\\NoBlank\n[PreReq4]\nName=NotText" + at + "\\NotText\n"
        "[PreReq5]\nName=Abbreviated\nInstRegPath=HKLM\\" + key + "\\Command\n"
        "[PreReq6]\nName=Suite with libre office\nInstPath=s.msi\nInstParams=/qn\nNotAssociateWithMSOfficeFiles=1\nOptional=7\n"
        "RegPath31=A\\B\\C\nRegCond31=DWORD=1\nRegPath32=A\\B\\D\nRegCond32=DWORD=1\n"
        "[PreReq7]\nName=Libre Office\nInstPath=l.msi\nInstParams=/qn\n"
        "[PreReq8]\nName=Long command" + at + "\\Long\n"
        "[PreReq10]\nName=After a gap\nInstPath=x\n"
        "[PostReq0]\nName=Readme\nInstPath=#Root#\\readme.exe\nInstParams=/show\nRunAs=1\n"
        "[PostReq1]\nName=Nothing\nInstParams=ignored\n");
    const IniFile ini(os.fileSystem, "C:\\Kits\\setup.ini");
    const PathMacros macros = DetectPathMacros(os, "C:\\Kits\\setup.exe");
    const ComponentList list = ResolveInstallers(os, ReadPrerequisiteList(ini, macros));
    ASSERT_EQ(list.size(), 4u) << "the Oracle client on the Path; unresolved installers";
    const ComponentDescriptor& c = list[0];
    EXPECT_EQ(c.Url + "|" + c.InstPath + "|" + c.InstParams + "|" + c.FilePath + "|" + c.ChooseDownload,
              "http://x.invalid/c|C:\\Kits\\client.msi|/i \"#InstPath#\"|C:\\windows\\syswow64\\c.dll;"
              "C:\\Program Files (x86)\\Common Files|32-bit");
    EXPECT_EQ((std::vector<int>{c.AdminNeed, c.RunAs, c.OSbit, c.OSver, c.Key64}), (std::vector<int>{0, 1, 3, -1002, 1}));
    EXPECT_EQ(FormatVersionValue(c.FileVer), "2.5.0.0");
    ASSERT_EQ(c.RegConditions.size(), 1u) << "a pair with one half set is ignored";
    EXPECT_EQ(c.RegConditions[0].regPath + "|" + c.RegConditions[0].regCond, "HKEY_LOCAL_MACHINE\\C\\V|DWORD=1");
    EXPECT_EQ(c.Optional, OptionalState::Unchecked);
    EXPECT_EQ(list[1].InstPath + "|" + list[1].InstParams, "C:\\App\\uninst.exe|C:\\App\\uninst.exe /x{code} /quiet");
    EXPECT_EQ(list[1].Optional, OptionalState::Checked);
    EXPECT_EQ(list[2].InstParams, "/qn REGISTER_NO_MSO_TYPES=1 ");
    EXPECT_EQ(list[2].Optional, OptionalState::NoCheckBox) << "a value other than 0 or 1";
    EXPECT_EQ(list[2].RegConditions.size(), 1u) << "RegPath31 is read, RegPath32 is not";
    EXPECT_EQ(list[3].InstParams + "|" + std::to_string(list[3].AdminNeed), "/qn|1");  // defaults

    os.sys.environment["Path"] = "C:\\windows";
    EXPECT_EQ(ResolveInstallers(os, ReadPrerequisiteList(ini, macros)).size(), 5u) << "no oci.dll on the Path";
    os.sys.environment["Path"] = "C:\\oracle\\bin;C:\\windows";
    EXPECT_EQ(ResolveInstallers(os, ReadPrerequisiteList(ini, macros)).size(), 4u) << "its folder first";
    EXPECT_EQ(ReadPrerequisiteList(ini, PathMacros())[0].InstPath, "#Root#\\client.msi") << "macros known only to the machine";
    const ComponentList post = ReadPostRequisiteList(ini, macros);
    ASSERT_EQ(post.size(), 2u);
    EXPECT_EQ(post[0].InstPath + "|" + post[0].InstParams + "|" + std::to_string(post[0].RunAs),
              "C:\\Kits\\readme.exe|/show|1");
    EXPECT_EQ(post[1].InstParams, "") << "InstParams is read only with an InstPath";

    // The checker knows exactly the keys the readers ask for.
    ReadMainSettings(ini);
    for (const char* pattern : {kMainSection, kPrerequisiteSections, kPostRequisiteSections}) {
        const Lines known = checker::KnownKeys(pattern);
        const std::string kind = std::string(pattern).substr(0, std::string(pattern).find('%'));
        EXPECT_EQ(os.fileSystem.asked[kind], std::set<std::string>(known.begin(), known.end())) << kind;
    }
}

TEST(RegistryConditions, GrammarComparisonsAndReadFailures) {
    struct Case {
        std::string path, cond, stored;  // "-": no value
        int holds;
        std::string error;  // the grammar's complaint or the read's error
    };
    const std::string v = "HKEY_LOCAL_MACHINE\\Software\\X\\V", more = "Error(234)'Unknown error 0x000000EA'";
    const std::vector<Case> cases = {
        {"", "DWORD=1", "", 0, "Invalid registry key ''"},
        {"HKLM\\Software\\X\\V", "DWORD=1", "", 0, "Can't find root registry key 'HKLM'"},
        {"HKEY_LOCAL_MACHINE\\Software\\X\\", "DWORD=1", "", 0, "Invalid parameter RegPath='HKEY_LOCAL_MACHINE\\Software\\X\\'"},
        {v, "QWORD=1", "", 0, "Invalid variable in condition 'QWORD=1'. RegPath='" + v + "'"},
        {v, "DWORD >= 1", "", 0, "Invalid operation in condition 'DWORD >= 1'. RegPath='" + v + "'"},
        {v, "DWORD=1", Dword(1) + "x", 0, more},
        {v, "STRING>=a", std::string(261, 'a'), 0, more},
        {v, "STRING=", "-", 0, "Error(2)'Not found.'"},
        {v, "dword>=5", Dword(5), 1, ""},  {v, "DWORD=0x10", Dword(0), 1, ""},
        {v, "DWORD>=0", Dword(0xFFFFFFFF), 0, ""}, {v, "DWORD=-1", Dword(0xFFFFFFFF), 1, ""},
        {v, "DWORD=3", "\x03", 1, ""},     {v, "STRING>=abc", Text("ABD"), 1, ""},
        {v, "STRING=abc", Text("ABC"), 1, ""}, {v, "STRING>=abc", Text("AB"), 0, ""}, {v, "STRING>=abc", Text("ABC"), 1, ""},
        {v, "VERSION>=9.9", Text("10.0"), 1, ""}, {v, "VERSION=4.8.0.0", Text("4.8"), 1, ""},
        {v, "VERSION>=1.2.3.4.6", Text("1.2.3.4.5"), 1, ""},
        {v, "VERSION>=4.0", Text("3.5"), 0, ""}, {v, "VERSION>=0", Text("-1"), 0, ""},
    };
    for (const Case& c : cases) {
        Bench b;
        SCOPED_TRACE(c.path + " " + c.cond);
        if (c.stored != "-") b.os.reg.Set("Software\\X", "V", c.stored);
        EXPECT_EQ(IsValidRegCond(b.s, c.path, c.cond, 0), c.holds);
        Lines log;
        const bool unread = c.error.rfind("Error(", 0) == 0;
        if (unread) log.push_back("CRegComparer.GetRegValue(0x80000002, 'Software\\X', 'V') failed. " + c.error + ".\r\n");
        if (!c.error.empty() && !unread) log.push_back("IsValidRegCond() failed. " + c.error + ".\r\n");
        if (!c.holds && (unread || c.error.empty())) {
            log.push_back("IsValidRegCond() failed. Invalid condition '" + c.cond + "'. RegPath='" + v + "'.\r\n");
        }
        EXPECT_EQ(b.Entries(), log);
    }
    Bench b;
    // "表" is 0x95 0x5C in code page 932: a code page would split it there.
    b.os.reg.Set("Software\\表", "表", Dword(1));
    EXPECT_TRUE(IsValidRegCond(b.s, "HKEY_LOCAL_MACHINE\\Software\\表\\表", "DWORD=1", 0));
    b.os.reg.Set("Software\\X", "V", Dword(1), platform::RegistryView::View64);
    EXPECT_TRUE(AnyRegCondHolds(b.s, {{"HKLM\\X\\V", "DWORD=1"}, {v, "DWORD=1"}}, 1));
    EXPECT_FALSE(AnyRegCondHolds(b.s, {{v, "DWORD=2"}}, 1));
}

TEST(PresenceProbes, FiltersThenTheFirstProbeThatIsSet) {
    struct Case {
        std::function<void(ComponentDescriptor&, fake::Platform&)> change;
        V verdict;
        std::string entry;
    };
    const std::vector<Case> cases = {
        {[](auto& c, auto&) { c.OSbit = 1; }, V::Filtered, ""},  // 32-bit only, on x64
        {[](auto& c, auto& os) { c.OSbit = 2, os.sys.architecture = 0; }, V::Filtered, ""},
        {[](auto& c, auto& os) { c.OSbit = 1, os.sys.architecture = 0; }, V::Missing, ""},
        {[](auto& c, auto& os) { c.OSver = 601, os.sys.major = 6; }, V::Filtered, ""},  // 6.1 and later
        {[](auto& c, auto& os) { c.OSver = 601, os.sys.major = 6, os.sys.minor = 1; }, V::Missing, ""},
        {[](auto& c, auto& os) { c.OSver = -502, os.sys.major = 6, os.sys.minor = 1; }, V::Filtered, ""},  // 5.2, earlier
        {[](auto& c, auto& os) { c.OSver = -502, os.sys.major = 5, os.sys.minor = 2; }, V::Missing, ""},
        {[](auto& c, auto& os) { c.FilePath = "C:\\b.dll", os.sys.versionFails = true; }, V::Missing, ""},
        {[](auto& c, auto&) { c.FileVer = ParseVersionValue("2.1.3.4"); }, V::Present, ""},
        {[](auto& c, auto&) { c.FileVer = ParseVersionValue("2.1.3.5"); }, V::Missing,
         "Current version(2.1.3.4) of file 'C:\\a.dll' early of required file vesion(2.1.3.5)."},
        {[](auto&, auto& os) { os.fileSystem.loadErrors["C:\\a.dll"] = 193; }, V::Missing,
         "Can't load file 'C:\\a.dll'. Error(193)'Unknown error 0x000000C1'."},
        {[](auto& c, auto&) { c.FilePath = "C:\\b.dll"; }, V::Missing,
         "Can't get version of file 'C:\\b.dll'. Error(2)'Not found.'."},
        {[](auto& c, auto& os) { c.FilePath.clear(), os.msi.productStates["{P}"] = 5; }, V::Present, ""},
        {[](auto& c, auto&) { c = ComponentDescriptor(); }, V::Present, ""},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        Bench b;
        b.os.fileSystem.versions["C:\\a.dll"] = {0x00020001, 0x00030004};
        b.os.msi.packages["C:\\p.msi"] = {{"ProductCode", "{P}"}, {"ProductVersion", "1.0"}};
        ComponentDescriptor d;
        d.FilePath = "C:\\a.dll", d.FileVer = ParseVersionValue("9.0"), d.FileTryLoad = 1, d.MsiProd = "1";
        d.InstPath = "C:\\p.msi";
        cases[i].change(d, b.os);
        b.Reread();
        EXPECT_EQ(ProbeComponent(b.s, d).verdict, cases[i].verdict) << i;
        if (cases[i].verdict == V::Missing && cases[i].entry.empty()) continue;  // C:\a.dll is too old
        const std::string entry = "IsValidFileVersion() failed. " + cases[i].entry + "\r\n";
        EXPECT_EQ(b.Entries(), cases[i].entry.empty() ? Lines{} : Lines{entry}) << i;
    }
}

TEST(PresenceProbes, ConditionProgramsChooseTheCheckBox) {
    using Failure = platform::CapturedRun::Failure;
    struct Case {
        platform::CapturedRun child;
        std::string component;  // needed, check box, selected, status text
        Lines log = {};
    };
    // Quoted: the program's folder may hold a blank.
    const std::string process = "Process '\"C:\\Kits\\check.exe\" /q' return ";
    const std::vector<Case> cases = {
        {{Failure::None, 0, 0, "out"}, "needed|checked|selected|", {process + "code 0\r\n", process + "text 'out'\r\n"}},
        {{Failure::None, 0, 1, ""}, "present|unchecked|selected|"},
        {{Failure::None, 0, 2, std::string("needs a licence\0rest", 20)}, "needed|unchecked||needs a licence"},
        // No pipe: installed rather than skipped.
        {{Failure::Pipe, 8, 0, ""}, "needed|unchecked|selected|", {"RunExe::Function CreatePipe() failed. Error(8)'Unknown error 0x00000008'.\r\n"}},
        {{Failure::Read, 5, 0, ""}, "present|unchecked|selected|",
         {process + "code 0\r\n", "RunExe::Function ReadFile() failed. Error(5)'Unknown error 0x00000005'.\r\n"}},
        {{Failure::Start, 2, 0, ""}, "present|unchecked|selected|",
         {"RunExe::Function CreateProcess('#Root#\\check.exe /q') failed. Error(2)'Not found.'.\r\n"}},
    };
    for (const Case& c : cases) {
        Bench b;
        b.os.procs.children["\"C:\\Kits\\check.exe\" /q"] = c.child;
        ComponentDescriptor d;
        d.RunExeCond = "#Root#\\check.exe /q", d.Optional = OptionalState::Unchecked;
        Component component(d);
        component.Present = true;
        const bool needed = component.Take(ProbeComponent(b.s, d));
        EXPECT_EQ(needed, !component.Present);
        const char* state[] = {"checked", "unchecked", "no box"};
        EXPECT_EQ(Format("%s|%s|%s|", needed ? "needed" : "present", state[static_cast<int>(component.optionalState)],
                         component.Selected ? "selected" : "") + component.RunExeText, c.component);
        EXPECT_TRUE(c.log.empty() || b.Entries() == c.log) << c.component;
    }
    Bench b;
    ComponentDescriptor filtered;
    filtered.OSbit = 1;
    Component component(filtered);
    EXPECT_FALSE(component.Take(ProbeComponent(b.s, filtered)));
    EXPECT_FALSE(component.Present) << "a filter leaves the last finding alone";
}

TEST(PresenceProbes, FindingsSayWhatTheProbesLookedAt) {
    Bench b;
    const std::string x = "HKEY_LOCAL_MACHINE\\Software\\X\\";
    b.os.reg.Set("Software\\X", "Level", Dword(7), platform::RegistryView::View64);
    b.os.reg.Set("Software\\X", "Name", Text("abc"));
    b.os.reg.Set("Software\\X", "Path", Text("C:\\x"));
    b.os.fileSystem.versions["C:\\a.dll"] = {0x00010002, 0x00030004};
    b.os.procs.children["check.exe"] = {{}, 0, 2, std::string("why\0", 4)};
    ComponentDescriptor registry;
    registry.RegConditions = {{x + "Level", "DWORD>=9"}, {x + "Name", "STRING=abc"}};
    registry.Key64 = 1;
    ComponentDescriptor text, file, product, program, filtered;
    text.RegConditions = {{"HKLM\\Software\\X\\Path", "STRING=C:\\x"}, {x + "Path", "STRING=C:\\x"}};
    file.FilePath = "C:\\a.dll", product.MsiProd = "1", product.InstPath = "C:\\p.msi";
    program.RunExeCond = "check.exe", filtered.OSbit = 1;
    Lines seen;
    for (const ComponentDescriptor* c : {&registry, &text, &file, &product, &program, &filtered}) {
        const Finding found = ProbeComponent(b.s, *c);
        seen.insert(seen.end(), found.evidence.begin(), found.evidence.end());
    }
    EXPECT_EQ(b.s.evidence, nullptr) << "nothing is noted after the finding";
    EXPECT_EQ(seen, (Lines{
        "registry " + x + "Level (64-bit view): REG_DWORD 7",
        "registry " + x + "Name (64-bit view): Error(2)'Not found.'.",
        "registry rule HKLM\\Software\\X\\Path STRING=C:\\x: not understood, Can't find root registry key 'HKLM'.",
        "registry " + x + "Path (32-bit view): REG_SZ 'C:\\x'",
        "file 'C:\\a.dll': version 1.2.3.4",
        "product of 'C:\\p.msi': not installed",
        "program 'check.exe': exit code 2, output 'why'",
        "OSbit=1: not for 64-bit Windows"}));
}

}  // namespace
}  // namespace setup
