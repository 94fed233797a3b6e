// setup.ini read into plain data, registry conditions and the presence
// probes.
#include <gtest/gtest.h>

#include "conditions/component_sources.h"
#include "conditions/presence_probes.h"
#include "conditions/registry_conditions.h"
#include "config/configuration.h"
#include "fake_platform.h"

namespace setup {
namespace {

using platform::RegistryView;
using Lines = std::vector<std::string>;

std::string Dword(uint32_t v) { return std::string{char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24)}; }
std::string Text(const std::string& t) { return t + std::string(1, '\0'); }

struct Bench : fake::Bench {
    Bench() { os.sys.errorTexts[2] = "Not found.\r\n"; }
};

TEST(Configuration, ModulePathsMainKeysAndOptionalPresence) {
    const std::pair<const char*, Lines> modules[] = {
        {"C:\\Kits\\setup.exe", {"C:\\Kits\\setup", "C:\\Kits", "C:\\Kits\\", "C:\\Kits\\setup.ini"}},
        {"C:\\My.Kits\\setup", {"C:\\My", "C:\\My.Kits", "C:\\My.Kits\\", "C:\\My.ini"}},
        {"", {"", "", "", ".ini"}},
        {"setup.exe", {"setup", "", "\\", "setup.ini"}},
    };
    for (const auto& m : modules) {
        EXPECT_EQ((Lines{ModulePathPart(m.first, true, false), ModulePathPart(m.first, false, false),
                         ProgramFolder(m.first), IniPathOf(m.first)}),
                  m.second);
    }
    fake::Platform os;
    const IniFile ini(os.fileSystem, "C:\\Kits\\setup.ini");
    os.fileSystem.SetIni("[Main]\nmsipath=demo.msi\nAdminNeed=0\nLangId=1049x\n");
    MainSettings main = ReadMainSettings(ini);
    EXPECT_EQ(main.MsiPath, "demo.msi");
    EXPECT_EQ(main.AdminNeed, 0);
    EXPECT_EQ(main.LangId, 1049);
    EXPECT_EQ(main.MsiType, "Install");
    EXPECT_EQ(main.Os32Need + main.UpdateDisable + main.MsiPatch, 0);
    os.fileSystem.SetIni("[Main]\nMsiPatch=1\n");
    EXPECT_EQ(ReadMainSettings(ini).MsiType, "Major");
    EXPECT_EQ(ReadMainSettings(ini).AdminNeed, 1);
    os.fileSystem.SetIni("[Main]\nMsiType=\n");
    EXPECT_EQ(ReadMainSettings(ini).MsiType, "") << "present but empty";

    const std::pair<std::string, int> optional[] = {
        {"Name=A\n", -1}, {"Optional=0\n", 0}, {"   Optional=1\n", 1}, {"optional=1\n", -1},
        {"OptionalX=0\n", 1}, {"Name=" + std::string(2100, 'n') + "\nOptional=0\n", -1}};
    for (const auto& o : optional) {
        os.fileSystem.SetIni("[PreReq0]\n" + o.first);
        EXPECT_EQ(ini.IntegerIfPresent(schema::kPrerequisites, "PreReq0", "Optional"), o.second) << o.first.substr(0, 20);
    }
}

TEST(ComponentSections, KeysMacrosRegistryInstallersAndTheSpecialNames) {
    fake::Platform os;
    const std::string key = "Software\\Uninstall\\App";
    os.reg.Set(key, "Command", Text("C:\\App\\uninst.exe /x{code}"));
    os.reg.Set(key, "NoBlank", Text("C:\\App\\uninst.exe"));
    os.reg.Set(key, "NotText", "C:\\App\\uninst.exe /x");
    os.reg.Set(key, "Long", Text("C:\\x.exe " + std::string(251, 'a')));  // 261 bytes: does not fit
    os.sys.environment["Path"] = std::string(8000, 'x') + ";C:\\oracle\\bin";
    os.fileSystem.contents["C:\\oracle\\bin\\oci.dll"];
    os.fileSystem.SetIni(
        "[PreReq0]\nName=Client\nUrl=http://example.invalid/c\nInstPath=#Root#\\client.msi\n"
        "InstParams=/i \"#InstPath#\"\nAdminNeed=0\nRunAs=1\nOSbit=3\nOSver=-1002\nKey64=1\n"
        "FilePath=#System#\\c.dll;#CommonProgramFiles#\nFileVer=2.5\nChooseDownload=32-bit\n"
        "RegPath5=HKEY_LOCAL_MACHINE\\C\\V\nRegCond5=DWORD=1\nRegPath=HKEY_LOCAL_MACHINE\\X\nOptional=0\n"
        "[PreReq1]\nName=Oracle Instant Client\nInstPath=o.exe\n"
        "[PreReq2]\nName=Old\nInstRegPath=hkey_local_machine\\" + key + "\\Command\nInstParams=/quiet\nOptional=1\n"
        "[PreReq3]\nName=NoBlank\nInstRegPath=HKEY_LOCAL_MACHINE\\" + key + "\\NoBlank\n"
        "[PreReq4]\nName=NotText\nInstRegPath=HKEY_LOCAL_MACHINE\\" + key + "\\NotText\n"
        "[PreReq5]\nName=Abbreviated\nInstRegPath=HKLM\\" + key + "\\Command\n"
        "[PreReq6]\nName=Suite with libre office\nInstPath=s.msi\nInstParams=/qn\nNotAssociateWithMSOfficeFiles=1\nOptional=7\n"
        "RegPath31=A\\B\\C\nRegCond31=DWORD=1\nRegPath32=A\\B\\D\nRegCond32=DWORD=1\n"
        "[PreReq7]\nName=Libre Office\nInstPath=l.msi\nInstParams=/qn\n"
        "[PreReq8]\nName=Long command\nInstRegPath=HKEY_LOCAL_MACHINE\\" + key + "\\Long\n"
        "[PreReq10]\nName=After a gap\nInstPath=x\n"
        "[PostReq0]\nName=Readme\nInstPath=#Root#\\readme.exe\nInstParams=/show\nRunAs=1\n"
        "[PostReq1]\nName=Nothing\nInstParams=ignored\n");
    const IniFile ini(os.fileSystem, "C:\\Kits\\setup.ini");
    const PathMacros macros = DetectPathMacros(os, "C:\\Kits\\setup.exe");
    const ComponentList list = ResolveInstallers(os, ReadPrerequisiteList(ini, macros));
    ASSERT_EQ(list.size(), 4u) << "the Oracle client on the Path and installers that cannot be resolved are left out";
    const ComponentDescriptor& c = list[0];
    EXPECT_EQ(c.Url + "|" + c.InstPath + "|" + c.InstParams + "|" + c.FilePath + "|" + c.ChooseDownload,
              "http://example.invalid/c|C:\\Kits\\client.msi|/i \"#InstPath#\"|C:\\windows\\syswow64\\c.dll;"
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
    EXPECT_EQ(list[3].InstParams + "|" + std::to_string(list[3].AdminNeed), "/qn|1") << "defaults";

    os.sys.environment["Path"] = "C:\\windows";
    EXPECT_EQ(ResolveInstallers(os, ReadPrerequisiteList(ini, macros)).size(), 5u) << "no oci.dll on the Path";
    EXPECT_EQ(ReadPrerequisiteList(ini, PathMacros())[0].InstPath, "#Root#\\client.msi") << "macros known only to the machine";
    const ComponentList post = ReadPostRequisiteList(ini, macros);
    ASSERT_EQ(post.size(), 2u);
    EXPECT_EQ(post[0].InstPath + "|" + post[0].InstParams + "|" + std::to_string(post[0].RunAs),
              "C:\\Kits\\readme.exe|/show|1");
    EXPECT_EQ(post[1].InstParams, "") << "InstParams is read only with an InstPath";
}

TEST(RegistryConditions, GrammarComparisonsAndReadFailures) {
    struct Case {
        std::string path, cond, stored;
        int holds;
        Lines log;
    };
    const std::string v = "HKEY_LOCAL_MACHINE\\Software\\X\\V";
    const auto failed = [&](const std::string& cond) {
        return "IsValidRegCond() failed. Invalid condition '" + cond + "'. RegPath='" + v + "'.\r\n";
    };
    const std::vector<Case> cases = {
        {"", "DWORD=1", "", 0, {"IsValidRegCond() failed. Invalid registry key ''.\r\n"}},
        {"HKEY_LOCAL_MACHINE", "DWORD=1", "", 0, {"IsValidRegCond() failed. Invalid registry key 'HKEY_LOCAL_MACHINE'.\r\n"}},
        {"HKLM\\Software\\X\\V", "DWORD=1", "", 0, {"IsValidRegCond() failed. Can't find root registry key 'HKLM'.\r\n"}},
        {"HKEY_LOCAL_MACHINE\\Software\\X\\", "DWORD=1", "", 0,
         {"IsValidRegCond() failed. Invalid parameter RegPath='HKEY_LOCAL_MACHINE\\Software\\X\\'.\r\n"}},
        {"HKEY_LOCAL_MACHINE\\V", "DWORD=1", "", 0, {"IsValidRegCond() failed. Invalid parameter RegPath='HKEY_LOCAL_MACHINE\\V'.\r\n"}},
        {v, "QWORD=1", "", 0, {"IsValidRegCond() failed. Invalid variable in condition 'QWORD=1'. RegPath='" + v + "'.\r\n"}},
        {v, "DWORD >= 1", "", 0, {"IsValidRegCond() failed. Invalid operation in condition 'DWORD >= 1'. RegPath='" + v + "'.\r\n"}},
        {v, "DWORD<1", "", 0, {"IsValidRegCond() failed. Invalid operation in condition 'DWORD<1'. RegPath='" + v + "'.\r\n"}},
        {v, "DWORD=1", "-", 0, {"CRegComparer.GetRegValue(0x80000002, 'Software\\X', 'V') failed. Error(2)'Not found.'.\r\n", failed("DWORD=1")}},
        {v, "DWORD=1", Dword(1) + "x", 0,
         {"CRegComparer.GetRegValue(0x80000002, 'Software\\X', 'V') failed. Error(234)'Unknown error 0x000000EA'.\r\n", failed("DWORD=1")}},
        {v, "STRING>=a", std::string(261, 'a'), 0,
         {"CRegComparer.GetRegValue(0x80000002, 'Software\\X', 'V') failed. Error(234)'Unknown error 0x000000EA'.\r\n", failed("STRING>=a")}},
        {"hkey_local_machine\\Software\\X\\V", "DWORD=5", Dword(5), 1, {}},
        {v, "dword>=1", Dword(5), 1, {}},        {v, "DWORD>=6", Dword(5), 0, {failed("DWORD>=6")}},
        {v, "DWORD>=5", Dword(5), 1, {}},
        {v, "STRING=", "-", 0, {"CRegComparer.GetRegValue(0x80000002, 'Software\\X', 'V') failed. Error(2)'Not found.'.\r\n", failed("STRING=")}},
        {v, "VERSION>=0", "-", 0, {"CRegComparer.GetRegValue(0x80000002, 'Software\\X', 'V') failed. Error(2)'Not found.'.\r\n", failed("VERSION>=0")}},
        {v, "DWORD=0x10", Dword(0), 1, {}},      {v, "DWORD>=0", Dword(0xFFFFFFFF), 0, {failed("DWORD>=0")}},
        {v, "DWORD=-1", Dword(0xFFFFFFFF), 1, {}}, {v, "DWORD=3", "\x03", 1, {}},
        {v, "STRING>=abc", Text("ABD"), 1, {}},  {v, "STRING=abc", Text("ABD"), 0, {failed("STRING=abc")}},
        {v, "STRING=abc", Text("ABC"), 1, {}},   {v, "STRING>=abc", Text("AB"), 0, {failed("STRING>=abc")}},
        {v, "STRING=", Text(""), 1, {}},         {v, "VERSION>=9.9", Text("10.0"), 1, {}},
        {v, "VERSION=4.8.0.0", Text("4.8"), 1, {}}, {v, "VERSION>=1.2.3.4.6", Text("1.2.3.4.5"), 1, {}},
        {v, "Version=4.0.30319", Text("4.0.30319"), 1, {}}, {v, "VERSION>=4.0", Text("3.5"), 0, {failed("VERSION>=4.0")}},
        {v, "VERSION=", Text(""), 0, {failed("VERSION=")}},
    };
    for (const Case& c : cases) {
        Bench b;
        if (c.stored != "-") b.os.reg.Set("Software\\X", "V", c.stored);
        EXPECT_EQ(IsValidRegCond(b.s, c.path, c.cond, 0), c.holds) << c.path << " " << c.cond;
        EXPECT_EQ(b.Entries(), c.log) << c.path << " " << c.cond;
    }
    Bench b;
    b.os.reg.Set("Software\\X", "V", Dword(1), RegistryView::View64);
    EXPECT_EQ(IsValidRegCond(b.s, v, "DWORD=1", 1), 1) << "Key64 reads the 64-bit view";
    EXPECT_EQ(IsValidRegCond(b.s, v, "DWORD=1", 0), 0);
    EXPECT_TRUE(AnyRegCondHolds(b.s, {{"HKLM\\X\\V", "DWORD=1"}, {v, "DWORD=1"}}, 1));
    EXPECT_FALSE(AnyRegCondHolds(b.s, {}, 0));
    EXPECT_FALSE(AnyRegCondHolds(b.s, {{v, "DWORD=2"}}, 1));
}

TEST(PresenceProbes, FiltersThenTheFirstProbeThatIsSet) {
    using Verdict = Finding::Verdict;
    struct Case {
        const char* name;
        std::function<void(ComponentDescriptor&, fake::Platform&)> setup;
        Verdict verdict;
        Lines log;
    };
    const std::string tooOld = "IsValidFileVersion() failed. Current version(2.1.3.4) of file 'C:\\a.dll' early of "
                               "required file vesion(2.1.3.5).\r\n";
    const std::vector<Case> cases = {
        {"32-bit only on x64", [](auto& c, auto&) { c.OSbit = 1; }, Verdict::Filtered, {}},
        {"64-bit only on x86", [](auto& c, auto& os) { c.OSbit = 2; os.sys.architecture = 0; }, Verdict::Filtered, {}},
        {"32-bit only on x86", [](auto& c, auto& os) { c.OSbit = 1; os.sys.architecture = 0; }, Verdict::Missing, {}},
        {"OSbit 3 applies", [](auto& c, auto&) { c.OSbit = 3; }, Verdict::Missing, {}},
        {"6.1 and later on 6.0", [](auto& c, auto& os) { c.OSver = 601; os.sys.major = 6; }, Verdict::Filtered, {}},
        {"6.1 and later on 6.1", [](auto& c, auto& os) { c.OSver = 601; os.sys.major = 6; os.sys.minor = 1; }, Verdict::Missing, {}},
        {"5.2 and earlier on 6.1", [](auto& c, auto& os) { c.OSver = -502; os.sys.major = 6; os.sys.minor = 1; }, Verdict::Filtered, {}},
        {"5.2 and earlier on 5.2", [](auto& c, auto& os) { c.OSver = -502; os.sys.major = 5; os.sys.minor = 2; }, Verdict::Missing, {}},
        {"version unknown", [](auto& c, auto& os) { c.OSver = 601; os.sys.versionFails = true; }, Verdict::Filtered, {}},
        {"0.01 and later, version unknown", [](auto& c, auto& os) { c.OSver = 1; os.sys.versionFails = true; }, Verdict::Filtered, {}},
        {"no version bound, version unknown", [](auto& c, auto& os) { c.FilePath = "C:\\b.dll"; os.sys.versionFails = true; }, Verdict::Missing, {}},
        {"file new enough", [](auto& c, auto&) { c.FileVer = ParseVersionValue("2.1.3.4"); }, Verdict::Present, {}},
        {"file too old", [](auto& c, auto&) { c.FileVer = ParseVersionValue("2.1.3.5"); }, Verdict::Missing, {tooOld}},
        {"file does not load", [](auto&, auto& os) { os.fileSystem.loadErrors["C:\\a.dll"] = 193; }, Verdict::Missing,
         {"IsValidFileVersion() failed. Can't load file 'C:\\a.dll'. Error(193)'Unknown error 0x000000C1'.\r\n"}},
        {"file without a version", [](auto& c, auto&) { c.FilePath = "C:\\b.dll"; }, Verdict::Missing,
         {"IsValidFileVersion() failed. Can't get version of file 'C:\\b.dll'. Error(2)'Not found.'.\r\n"}},
        {"own package installed", [](auto& c, auto& os) { c.FilePath.clear(); os.msi.productStates["{P}"] = 5; }, Verdict::Present, {}},
        {"own package advertised", [](auto& c, auto& os) { c.FilePath.clear(); os.msi.productStates["{P}"] = 1; }, Verdict::Present, {}},
        {"own package absent", [](auto& c, auto&) { c.FilePath.clear(); }, Verdict::Missing, {}},
        {"own package not on the media", [](auto& c, auto&) { c.FilePath.clear(); c.InstPath = "C:\\none.msi"; }, Verdict::Missing, {}},
        {"no probe", [](auto& c, auto&) { c = ComponentDescriptor(); }, Verdict::Present, {}},
    };
    for (const Case& c : cases) {
        Bench b;
        b.os.fileSystem.versions["C:\\a.dll"] = {0, 0x00020001, 0x00030004};
        b.os.msi.packages["C:\\p.msi"].properties = {{"ProductCode", "{P}"}, {"ProductVersion", "1.0"}};
        ComponentDescriptor d;
        d.FilePath = "C:\\a.dll";
        d.FileVer = ParseVersionValue("9.0");
        d.FileTryLoad = 1;
        d.MsiProd = "1";
        d.InstPath = "C:\\p.msi";
        c.setup(d, b.os);
        b.Reread();
        EXPECT_EQ(ProbeComponent(b.s, d).verdict, c.verdict) << c.name;
        if (c.verdict == Verdict::Missing && c.log.empty()) continue;
        EXPECT_EQ(b.Entries(), c.log) << c.name;
    }
}

TEST(PresenceProbes, ConditionProgramsChooseTheCheckBox) {
    using Failure = platform::CapturedRun::Failure;
    struct Case {
        fake::Child child;
        bool needed;
        OptionalState state;
        bool selected;
        const char* text;
        Lines log;
    };
    const std::string command = "C:\\Kits\\check.exe /q";
    const std::vector<Case> cases = {
        {{0, "out", Failure::None, 0}, true, OptionalState::Checked, true, "",
         {"Process '" + command + "' return code 0\r\n", "Process '" + command + "' return text 'out'\r\n"}},
        {{1, "", Failure::None, 0}, false, OptionalState::Unchecked, true, "", {}},
        {{2, std::string("needs a licence\0rest", 20), Failure::None, 0}, true, OptionalState::Unchecked, false, "needs a licence", {}},
        {{7, "", Failure::None, 0}, false, OptionalState::Unchecked, true, "", {}},
        // Not asked for want of a pipe: installed rather than skipped.
        {{0, "", Failure::Pipe, 8}, true, OptionalState::Unchecked, true, "",
         {"RunExe::Function CreatePipe() failed. Error(8)'Unknown error 0x00000008'.\r\n"}},
        {{0, "", Failure::Read, 5}, false, OptionalState::Unchecked, true, "",
         {"Process '" + command + "' return code 0\r\n", "RunExe::Function ReadFile() failed. Error(5)'Unknown error 0x00000005'.\r\n"}},
        {{0, "", Failure::Start, 2}, false, OptionalState::Unchecked, true, "",
         {"RunExe::Function CreateProcess('#Root#\\check.exe /q') failed. Error(2)'Not found.'.\r\n"}},
    };
    for (const Case& c : cases) {
        Bench b;
        b.os.procs.children[command] = c.child;
        ComponentDescriptor d;
        d.RunExeCond = "#Root#\\check.exe /q";
        d.Optional = OptionalState::Unchecked;
        Component component(d);
        component.Present = true;
        EXPECT_EQ(component.Take(ProbeComponent(b.s, d)), c.needed) << c.child.exitCode;
        EXPECT_EQ(component.Present, !c.needed);
        EXPECT_EQ(component.optionalState, c.state) << c.child.exitCode;
        EXPECT_EQ(component.Selected, c.selected);
        EXPECT_EQ(component.RunExeText, c.text);
        if (!c.log.empty()) { EXPECT_EQ(b.Entries(), c.log); }
    }
    Bench b;
    ComponentDescriptor filtered;
    filtered.OSbit = 1;
    Component component(filtered);
    EXPECT_FALSE(component.Take(ProbeComponent(b.s, filtered)));
    EXPECT_FALSE(component.Present) << "a filter leaves the last finding alone";
}

TEST(PresenceProbes, TellAnObserverWhatTheyLookAt) {
    struct Recorder : ProbeObserver {
        void Saw(const std::string& observation) override { seen.push_back(observation); }
        Lines seen;
    };
    Bench b;
    Recorder recorder;
    b.s.observer = &recorder;
    b.os.reg.Set("Software\\X", "Level", Dword(7), RegistryView::View64);
    b.os.reg.Set("Software\\X", "Name", Text("abc"));
    b.os.reg.Set("Software\\X", "Path", Text("C:\\x"));
    b.os.fileSystem.versions["C:\\a.dll"] = {0, 0x00010002, 0x00030004};
    b.os.procs.children["check.exe"] = {2, std::string("why\0", 4), {}, 0};
    ComponentDescriptor registry;
    registry.RegConditions = {{"HKEY_LOCAL_MACHINE\\Software\\X\\Level", "DWORD>=9"},
                              {"HKEY_LOCAL_MACHINE\\Software\\X\\Name", "STRING=abc"}};
    registry.Key64 = 1;
    ComponentDescriptor text, file, product, program, filtered;
    text.RegConditions = {{"HKLM\\Software\\X\\Path", "STRING=C:\\x"},
                          {"HKEY_LOCAL_MACHINE\\Software\\X\\Path", "STRING=C:\\x"}};
    file.FilePath = "C:\\a.dll";
    product.MsiProd = "1";
    product.InstPath = "C:\\p.msi";
    program.RunExeCond = "check.exe";
    filtered.OSbit = 1;
    for (const ComponentDescriptor* c : {&registry, &text, &file, &product, &program, &filtered}) ProbeComponent(b.s, *c);
    EXPECT_EQ(recorder.seen, (Lines{
        "registry HKEY_LOCAL_MACHINE\\Software\\X\\Level (64-bit view): REG_DWORD 7",
        "registry HKEY_LOCAL_MACHINE\\Software\\X\\Name (64-bit view): Error(2)'Not found.'.",
        "registry rule HKLM\\Software\\X\\Path STRING=C:\\x: not understood, Can't find root registry key 'HKLM'.",
        "registry HKEY_LOCAL_MACHINE\\Software\\X\\Path (32-bit view): REG_SZ 'C:\\x'",
        "file 'C:\\a.dll': version 1.2.3.4",
        "product of 'C:\\p.msi': not installed",
        "program 'check.exe': exit code 2, output 'why'",
        "OSbit=1: not for 64-bit Windows"}));
}

}  // namespace
}  // namespace setup
