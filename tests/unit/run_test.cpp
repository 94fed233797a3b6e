// Whole runs over the in-memory platform: configuration, machine and
// command line in; exit code, log entries, boxes and installer calls out.
#include "driver/run.h"

#include "diagnostics/text_format.h"
#include "driver/command_line.h"

#include <gtest/gtest.h>

#include <functional>

#include "fake_platform.h"

namespace setup {
namespace {

using Lines = std::vector<std::string>;
Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::string kPackage = "C:\\Kits\\demo.msi";
const std::string kLog = "C:\\Temp\\Demo Setup (2025.03.07 09.05).log";
const Lines kLanguage = {"User LangId is 1033\r\n",
                         "Language transform for LangId 1033 not found, trying primary language\r\n",
                         "Primary LangId is 1033\r\n", "Primary LangId transform not found\r\n"};
const std::string kQuiet = "UILevel is set to 2\r\n";
const std::string kCallEnd = "\r\n\r\n\r\n";
const std::string kCall = "Calling MsiInstallProduct with command line: ";
const std::string kInternal = "An irrecoverable internal error occured.\r\n";
const std::string kNoMail = "Can't read email address from ini file.\r\n";
const std::string kLogLine = "\r\n\r\nLog file:\r\n'C:\\Temp\\Demo Setup (2025.03.07 09.05).log'";
// A fresh install: the run's own check, then the installation's.
// The log of a quiet run of the user's language up to the installer, then `rest`.
Lines QuietLog(const Lines& rest) { return Lines{kQuiet} + kLanguage + rest; }
const Lines kInstallCalls = {"QueryProductState {C0DE}", "SetInternalUI 2", "QueryProductState {C0DE}",
                             "EnableLog 8159|" + kLog + "|1"};
const std::string kGuard = "Global\\_KESETUP_{242BA512-C2FD-4f14-B947-E0D6B9D288DE}demo.msi";

// The kit: demo.msi beside the program, and setup.ini naming it after `ini` ("-": no setup.ini).
void Kit(fake::Platform& os, const std::string& ini, const std::string& name = "Demo") {
    os.msi.packages[kPackage].properties = {{"ProductCode", "{C0DE}"}, {"ProductVersion", "1.0"},
                                            {"ProductName", name}};
    os.fileSystem.contents[kPackage] = "package";
    if (ini != "-") os.fileSystem.SetIni("[Main]\n" + ini + "\n[Main]\nMsiPath=demo.msi\n");
}
// An installed product of the given version, and the answers to the boxes.
std::function<void(fake::Platform&)> Installed(const char* version, std::deque<int> answers = {}) {
    return [=](fake::Platform& os) {
        os.msi.productStates["{C0DE}"] = 5;
        os.msi.installedVersions["{C0DE}"] = version;
        os.userInterface.answers = answers;
    };
}
const std::string kUpgrade = "Demo (1.0) Setup|Older version of this product is already installed. Do you want to upgrade it?";
// The calls before an installed product is installed over at a user-interface level.
Lines UpgradeCalls(int ui) {
    return {"QueryProductState {C0DE}", "ProductInfo {C0DE}|VersionString", "SetInternalUI " + std::to_string(ui),
            "QueryProductState {C0DE}", "ProductInfo {C0DE}|VersionString"};
}

struct RunCase {
    const char* name;
    std::string ini;  // after "[Main]\nMsiPath=demo.msi\n"
    std::string commandLine;
    std::function<void(fake::Platform&)> machine;
    int exitCode;
    Lines log;    // every entry, in order
    Lines boxes;  // every box, "caption|text"; a text ending in "..." is a prefix
    Lines calls;  // every installer call (when given)
};

const RunCase kRuns[] = {
    {"quiet fresh install", "", "/i /quiet", nullptr, 0,
     QuietLog({kCall + kCallEnd, "Setup complete\r\n"}), {},
     kInstallCalls + Lines{"InstallProduct " + kPackage + "|"}},
    {"properties of the command line win over MsiProp", "MsiProp=FROM=INI\n", "/i A=1 /quiet B=\"x y\"",
     nullptr, 0, {}, {}, kInstallCalls + Lines{"InstallProduct " + kPackage + "|A=1 B=\"x y\""}},
    {"MsiProp without command-line properties", "MsiProp=FROM=INI\n", "/i /quiet", nullptr, 0, {}, {},
     kInstallCalls + Lines{"InstallProduct " + kPackage + "|FROM=INI"}},
    {"transform of the configured language", "LangId=1049\n", "/i /passive X=1",
     [](fake::Platform& os) { os.fileSystem.contents["C:\\Kits\\1049.mst"]; }, 0,
     {"UILevel is set to 67\r\n", "LangId 1049 is set from ini file\r\n",
      "LangId transform is C:\\Kits\\1049.mst\r\n", kCall + "X=1 TRANSFORMS=\"C:\\Kits\\1049.mst\"\r\n\r\n\r\n",
      "Setup complete\r\n"},
     {}, {}},
    {"primary-language transform", "", "/i /quiet",
     [](fake::Platform& os) {
         os.sys.userLanguage = 2057;  // English (United Kingdom)
         os.fileSystem.contents["C:\\Kits\\1033.mst"];
     },
     0,
     {kQuiet, "User LangId is 2057\r\n",
      "Language transform for LangId 2057 not found, trying primary language\r\n",
      "Primary LangId is 1033\r\n", "LangId transform is C:\\Kits\\1033.mst\r\n",
      kCall + " TRANSFORMS=\"C:\\Kits\\1033.mst\"\r\n\r\n\r\n", "Setup complete\r\n"},
     {}, {}},
    {"administrative install: target only, passive, no transform", "MsiProp=P=1\n", "/a \"D:\\Admin Point\"",
     nullptr, 0,
     {"UILevel is set to 5\r\n", kCall + "TARGETDIR=\"D:\\Admin Point\"  ACTION=ADMIN\r\n\r\n\r\n",
      "Setup complete\r\n"},
     {}, {"SetInternalUI 67", "EnableLog 8159|" + kLog + "|1",
          "InstallProduct " + kPackage + "|TARGETDIR=\"D:\\Admin Point\"  ACTION=ADMIN"}},
    {"older version upgraded after Yes", "", "", Installed("0.9", {6}), 0, {}, {kUpgrade},
     UpgradeCalls(5) + Lines{"EnableLog 8159|" + kLog + "|1", "InstallProduct " + kPackage + "|REINSTALL=ALL REINSTALLMODE=vomus"}},
    {"older version not upgraded after No", "", "", Installed("0.9", {7}), 0, {}, {kUpgrade}, UpgradeCalls(5)},
    {"unattended upgrade with the configured reinstall mode", "DefaultReinstallmode=REINSTALL=ALL\n",
     "/i /quiet", [](fake::Platform& os) { os.msi.productStates["{C0DE}"] = 5; }, 0,
     QuietLog({"Older version of this product is already installed. Do you want to upgrade it?\r\n",
               "Auto-upgrading in passive mode\r\n", kCall + "REINSTALL=ALL\r\n\r\n\r\n", "Setup complete\r\n"}),
     {}, {}},
    {"same version installed: the properties again", "MsiProp=P=1\n", "/i /quiet", Installed("1.0.0"), 0, {}, {},
     UpgradeCalls(2) + Lines{"EnableLog 8159|" + kLog + "|1", "InstallProduct " + kPackage + "|P=1"}},
    {"newer version installed", "", "/i /quiet", Installed("1.1"), 3,
     QuietLog({"Newer version of this product is already installed. Installation of this version cannot "
               "continue. To configure or remove the existing version of this product, use Add/Remove "
               "Programs on the Control Panel.\r\n",
               "BSInstall() failed. Error(3000)'Unknown error 0x00000BB8'.", kNoMail}),
     {}, {}},
    {"UpdateDisable refuses an older version", "UpdateDisable=1\n", "",
     [](fake::Platform& os) { os.msi.productStates["{C0DE}"] = 5; }, 3, {},
     {"Installation Error|Older version of this product is already installed. Minor update is disabled in this "
      "version. Please use Add/Remove Programs to deinstall currect version." + kLogLine},
     {}},
    {"cancel inside the installer", "", "/i /quiet",
     [](fake::Platform& os) { os.msi.installResult.result = 1602; }, 1602,
     QuietLog({kCall + kCallEnd, "Installation canceled\r\n"}), {}, {}},
    {"restart needed by the installer: success", "", "/i /quiet",
     [](fake::Platform& os) { os.msi.installResult.result = 3010; }, 0,
     QuietLog({kCall + kCallEnd, "MsiInstallProduct returned 3010\r\n"}), {}, {}},
    {"installer failure at the full level, mail declined", "SendErrorLogTo=help@example.invalid\n", "",
     [](fake::Platform& os) {
         os.msi.installResult.result = 1603;
         os.sys.errorTexts[1603] = "Fatal error during installation.\r\n";
         os.userInterface.answers = {1, 7};
     },
     3,
     Lines{"UILevel is set to 5\r\n"} + kLanguage +
         Lines{kCall + kCallEnd, "MsiInstallProduct returned 1603\r\n", kInternal,
               "BSInstall() failed. Error(1603)'Fatal error during installation.'."},
     {"Installation Error|An irrecoverable internal error occured." + kLogLine,
      "Demo (1.0)|Installation failed. Product not installed.\n\nDo you want to send the log file:\n'" + kLog +
          "'\nto 'help@example.invalid'?"},
     {}},
    {"the installer cannot find the package: shown, then a failure", "", "",
     [](fake::Platform& os) { os.msi.installResult.result = 2; }, 3, {},
     {"Installation Error|Setup was unable to find the file\n'" + kPackage + "'.",
      "Installation Error|An irrecoverable internal error occured." + kLogLine},
     {}},
    {"hardware exception inside the installer", "", "/i /quiet",
     [](fake::Platform& os) {
         os.msi.installResult.raisedException = true;
         os.msi.installResult.exceptionCode = 0xC0000005;
     },
     3,
     QuietLog({kCall + kCallEnd, "Hardware exception occur. Exception code 0xC0000005.\r\n",
               "MsiInstallProduct returned 1603\r\n", kInternal,
               "BSInstall() failed. Error(1603)'Unknown error 0x00000643'.", kNoMail}),
     {}, {}},
    {"no installer library: a failure without calls", "MsiPath=fix.msp\nMsiPatch=1\n", "/i /quiet",
     [](fake::Platform& os) {
         os.fileSystem.contents["C:\\Kits\\fix.msp"];
         os.msi.complete = false;
     },
     3, {}, {}, {}},
    {"patch asked at the full level, applied with the basic interface",
     "MsiPath=fix.msp\nMsiPatch=1\nName=Demo Fix\nVersionTarget=1.0\nMsiProp=P=1\n", "",
     [](fake::Platform& os) {
         os.fileSystem.contents["C:\\Kits\\fix.msp"];
         os.userInterface.answers = {6};
     },
     0,
     Lines{"UILevel is set to 5\r\n"} + kLanguage +
         Lines{"Do you want to apply patch '1.0' to 'Demo Fix'?\r\n",
               "Calling MsiApplyPatch with command line: P=1" + kCallEnd, "Setup complete\r\n"},
     {"Demo Fix Update|Do you want to apply patch '1.0' to 'Demo Fix'?"},
     {"SetInternalUI 5", "EnableLog 8159|C:\\Temp\\Demo Fix Setup (2025.03.07 09.05).log|1", "SetInternalUI 3",
      "ApplyPatch C:\\Kits\\fix.msp|(null)|0|P=1"}},
    {"patch of an administrative image", "MsiPath=fix.msp\nMsiPatch=1\nMsiType=Minor\n", "/a C:\\Image",
     [](fake::Platform& os) { os.fileSystem.contents["C:\\Kits\\fix.msp"]; }, 0, {}, {},
     {"SetInternalUI 67", "EnableLog 8159|C:\\Temp\\ Setup (2025.03.07 09.05).log|1", "SetInternalUI 3",
      "ApplyPatch C:\\Kits\\fix.msp|C:\\Image|1|"}},
    {"patch for another version", "MsiPath=fix.msp\nMsiPatch=1\n", "/i /quiet",
     [](fake::Platform& os) {
         os.fileSystem.contents["C:\\Kits\\fix.msp"];
         os.msi.installResult.result = 1642;
     },
     3, {}, {}, {}},
    {"usage box for a malformed command line", "", "/passive", nullptr, 3, {"UILevel is set to 5\r\n"},
     {"Usage Info|Usage:\n   setup.exe /option [optional parameter]\n\nInstall Options\n   /i\tPerform an install.\n"
      "   /a <full path to administrative install>\n\tPerform an administrative install.\n\nDisplay Options\n"
      "   /quiet\n\tQuiet mode, no user interaction\n   /passive\n\tUnattended mode - progress bar only\n\n"
      "Setting Public Properties\n   PROPERTY=PropertyValue\n\nExample: setup.exe /i /passive ABC=DEF"},
     {}},
    {"administrative install without a target", "", "/a", nullptr, 3, {"UILevel is set to 5\r\n"},
     {"Usage Info|Usage:..."}, {}},
    {"no configuration file", "-", "/i /quiet", nullptr, 3, {},
     {"Installation Error|Can't find ini file:\r\n'C:\\Kits\\setup.ini'"}, {}},
    {"package without its properties", "", "/i /quiet",
     [](fake::Platform& os) { os.msi.packages[kPackage].properties.erase("ProductVersion"); }, 3, {},
     {"Installation Error|Can't read installation property from file:\n'C:\\Kits\\demo.msi'."}, {}},
    {"64-bit package on 32-bit Windows", "", "/i /quiet", [](fake::Platform& os) { os.sys.architecture = 0; }, 3,
     {}, {"Installation Error|This installation package is not supported by this processor type."}, {}},
    {"a Template without its platform part runs on 32-bit Windows", "", "/i /quiet",
     [](fake::Platform& os) {
         os.sys.architecture = 0;
         os.msi.packages[kPackage].summaryTemplate = "x64";
     },
     0, {}, {}, {}},
    {"a one-letter platform is no 64-bit one", "", "/i /quiet",
     [](fake::Platform& os) {
         os.sys.architecture = 0;
         os.msi.packages[kPackage].summaryTemplate = "4;1033";
     },
     0, {}, {}, {}},
    {"Windows before 5", "", "", [](fake::Platform& os) { os.sys.major = 4; }, 3, {},
     {"Installation Error|Demo (1.0) doesn't support this Windows version."}, {}},
    {"32-bit product on 64-bit Windows", "Os32Need=1\n", "/i /quiet", nullptr, 0,
     {kQuiet, "This installation package is not supported by this processor type.\r\n"}, {}, {}},
    {"administrators only", "", "", [](fake::Platform& os) { os.sys.administrator = false; }, 0,
     {"UILevel is set to 5\r\n", "Admin priviledges are required.\r\n"},
     {"Installation Error|Admin priviledges are required."}, {}},
    {"Windows too old, unattended: logged only", "MinWinVersion=11.0\n", "/i /quiet", nullptr, 3,
     {kQuiet, "Can't  itstall product.\r\nProduct can installed on 'Windows 11.0' and above.\r\n"}, {}, {}},
    {"another run for the package", "", "",
     [](fake::Platform& os) { os.sys.mutexes.insert(kGuard); }, 3, {"UILevel is set to 5\r\n"}, {}, {}},
    {"operation type that does not fit a product", "MsiType=Minor\n", "", nullptr, 3, {},
     {"Installation Error|The setup was authored with an incorrect operation type 'Minor' and cannot continue."},
     {}},
    {"package file missing", "", "/i /quiet", [](fake::Platform& os) { os.fileSystem.contents.erase(kPackage); },
     3, {kQuiet, "Setup was unable to find the file\n'C:\\Kits\\demo.msi'.\r\n"}, {}, {}},
    {"log option", "", "/i /quiet /log C:\\Logs\\mine.log", nullptr, 0, {}, {},
     {kInstallCalls[0], kInstallCalls[1], kInstallCalls[2], "EnableLog 8159|C:\\Logs\\mine.log|1",
      "InstallProduct " + kPackage + "|"}},
};

class RunTableTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(RunTableTest, Outcome) {
    const RunCase& c = GetParam();
    fake::Platform os;
    Kit(os, c.ini);  // the case's MsiPath, when it has one, comes first and counts
    os.msi.packages["C:\\Kits\\fix.msp"];
    if (c.machine) c.machine(os);
    const size_t heldBefore = os.sys.mutexes.size();

    EXPECT_EQ(setup::Run(os, c.commandLine), c.exitCode);
    if (!c.log.empty()) {
        const bool patch = c.ini.find("Name=Demo Fix") != std::string::npos;
        EXPECT_EQ(os.LogEntries(patch ? "C:\\Temp\\Demo Fix Setup (2025.03.07 09.05).log" : kLog), c.log);
    }
    ASSERT_EQ(os.userInterface.shown.size(), c.boxes.size());
    for (size_t i = 0; i < c.boxes.size(); ++i) {
        const std::string box = os.userInterface.shown[i].caption + "|" + os.userInterface.shown[i].text;
        const std::string& expected = c.boxes[i];
        const bool prefix = expected.size() > 3 && expected.compare(expected.size() - 3, 3, "...") == 0;
        EXPECT_EQ(prefix ? box.substr(0, expected.size() - 3) + "..." : box, expected);
    }
    if (!c.calls.empty()) {
        EXPECT_EQ(os.msi.calls, c.calls);
    }
    EXPECT_EQ(os.msi.openDatabases, 0) << "every package read is closed";
    EXPECT_EQ(os.sys.mutexes.size(), heldBefore) << "the single-instance guard is released at the end";
}

std::string CaseName(const ::testing::TestParamInfo<RunCase>& param) {
    std::string name;
    for (char ch : std::string(param.param.name)) name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Runs, RunTableTest, ::testing::ValuesIn(kRuns), CaseName);

// The prerequisites and post-requisites of a fresh install, and the restart
// they may ask for.
struct ComponentRun {
    const char* commandLine;
    uint32_t runtimeCode;
    std::vector<int> answers;
    int exitCode;
    size_t restarts;
};

TEST(ComponentRuns, PrerequisitesThenProductThenPostRequisitesThenRestart) {
    const ComponentRun runs[] = {
        {"/i /quiet", 0, {}, 0, 0},
        {"/i /quiet", 3010, {}, 0, 1},    // unattended: restarted without a question
        {"", 3010, {6, 7}, 3010, 0},       // still missing: go on; restart declined
        {"", 3010, {6, 6}, 0, 1},          // restart accepted
    };
    for (const ComponentRun& r : runs) {
        fake::Platform os;
        Kit(os, "[PreReq0]\nName=Runtime\nInstPath=#Root#\\runtime.exe\nFilePath=C:\\none.dll\n"
                "[PostReq0]\nName=Notes\nInstPath=#Root#\\notes.exe\n");
        os.procs.children["\"C:\\Kits\\runtime.exe\""].exitCode = r.runtimeCode;
        os.procs.children["\"C:\\Kits\\notes.exe\""];
        os.userInterface.answers = {r.answers.begin(), r.answers.end()};
        os.userInterface.prerequisitesDialog = [](platform::PrerequisitesDialog& d) {
            return d.Install(1, {1});
        };
        EXPECT_EQ(setup::Run(os, r.commandLine), r.exitCode) << r.commandLine << r.runtimeCode;
        EXPECT_EQ(os.procs.started, (Lines{"\"C:\\Kits\\runtime.exe\"", "\"C:\\Kits\\notes.exe\""}));
        EXPECT_EQ(os.sys.restarts.size(), r.restarts);
        const std::string log = os.Utf16File(kLog);
        EXPECT_EQ(log.find("]: Installing prerequisites passively:\r\n  Runtime\r\n") != std::string::npos,
                  r.answers.empty());
        EXPECT_EQ(log.find("]: Auto-reboot in passive mode\r\n") != std::string::npos,
                  r.answers.empty() && r.restarts == 1);
        EXPECT_LT(log.find("Install the component 'Runtime'"), log.find(kCall));
        EXPECT_LT(log.find(kCall), log.find("Install the component 'Notes'"));
    }
}

TEST(ComponentRuns, UninstallStepsRunEvenWhenPresentAndTheLogNameIsMadeSafe) {
    fake::Platform os;
    Kit(os, "[PreReq0]\nName=Old\nInstPath=old.exe\nIsUninstall=1\n", "Demo: Edition");
    os.procs.children["\"old.exe\""];
    EXPECT_EQ(setup::Run(os, "/i /quiet"), 0);
    EXPECT_EQ(os.procs.started, Lines{"\"old.exe\""});
    EXPECT_FALSE(os.LogEntries("C:\\Temp\\Demo$ Edition Setup (2025.03.07 09.05).log").empty());
}

TEST(ComponentRuns, InstalledOrAdvertisedProductRunsNoComponents) {
    for (int state : {5, 1}) {
        fake::Platform os;
        Kit(os, "[PreReq0]\nName=R\nInstPath=r.exe\nFilePath=C:\\n.dll\n[PostReq0]\nName=Notes\nInstPath=n.exe\n");
        Installed("1.0")(os);
        os.msi.productStates["{C0DE}"] = state;
        EXPECT_EQ(setup::Run(os, "/i /quiet"), 0);
        EXPECT_TRUE(os.procs.started.empty()) << state;
    }
}

// The result record a deployment tool asks for, and what it changes: an
// unattended run never waits for a person.
TEST(ResultRecord, WrittenAtTheEndOfEveryRunThatAsksForIt) {
    struct Case {
        std::string ini, commandLine;
        std::function<void(fake::Platform&)> machine;
        std::string json;  // the record's fields after "exitCode"; empty: no record
        const char* logged;
    };
    const auto Fields = [](int exitCode, const char* stage, const char* failing, const char* installer,
                           const char* restart = "none", const char* optional = "[]") {
        return Format("%d,\n  \"stage\": \"%s\",\n  \"failingComponent\": %s,\n  \"installerResult\": %s,\n"
                      "  \"restart\": \"%s\",\n  \"optionalComponents\": %s,\n",
                      exitCode, stage, failing, installer, restart, optional);
    };
    const std::string kTampered = "Integrity check failed. File 'C:\\Kits\\demo.msi' has SHA-256 "
                                  "bc4a71180870f7945155fbb02f4b0a2e3faa2a62d6d31b7039013055ed19869a, expected " +
                                  std::string(64, '0') + ".\r\n";
    const std::string tail = R"(  "transform": "",
  "logPath": "C:\\Temp\\Demo Setup (2025.03.07 09.05).log"
}
)";
    const Case cases[] = {
        {"", "/i /quiet /record C:\\r.json", nullptr,
         Fields(0, "done", "null", "0"), nullptr},
        {"SendErrorLogTo=help@example.invalid\n", "/i /record \"C:\\r.json\" /quiet A=1",
         [](fake::Platform& os) { os.msi.installResult.result = 1603; },
         Fields(3, "installation", "null", "1603"), "Mail question not asked: the run must not wait for a person. Answered No.\r\n"},
        {"[PreReq0]\nName=Runtime \"2\"\nInstPath=r.exe\nFilePath=C:\\none.dll\nOptional=1\n"
         "[PostReq0]\nName=Notes\nInstPath=n.exe\n", "/i /passive /record C:\\r.json",
         [](fake::Platform& os) {
             os.procs.children["\"r.exe\""].exitCode = 1603;
             os.procs.children["\"n.exe\""].exitCode = 3010;
         },
         Fields(0, "done", R"({"name": "Runtime \"2\"", "code": 1603})", "0", "started", R"(["Runtime \"2\""])"), nullptr},
        {"[PostReq0]\nName=Notes\nInstPath=n.exe\n", "/i /record C:\\r.json",
         [](fake::Platform& os) {
             os.procs.children["\"n.exe\""].exitCode = 3010;
             os.userInterface.answers = {7};
         },
         Fields(3010, "done", "null", "0", "needed"), nullptr},
        {"Sha256=" + std::string(64, '0') + "\n", "/i /quiet /record C:\\r.json", nullptr,
         Fields(3, "installation", "null", "13"), kTampered.c_str()},
        {"MsiPatch=1\nName=Demo\nSha256=" + std::string(64, '0') + "\n", "/i /quiet /record C:\\r.json", nullptr,
         Fields(3, "installation", "null", "13"), kTampered.c_str()},
        {"[PostReq0]\nName=Notes\nInstPath=n.exe\nSha256=" + std::string(64, '0') + "\n", "/i /quiet /record C:\\r.json",
         nullptr,
         Fields(3, "post-requisites", R"({"name": "Notes", "code": 13})", "0"), "Integrity check failed. Can't read file 'n.exe'.\r\n"},
        {"[PreReq0]\nName=R\nInstPath=r.exe\nFilePath=C:\\n.dll\nSha256=" + std::string(64, '0') + "\n",
         "/i /quiet /record C:\\r.json",
         [](fake::Platform& os) {  // an upgrade, whose transform is not handed over
             os.msi.productStates["{C0DE}"] = 5;
             os.msi.installedVersions["{C0DE}"] = "0.9";
             os.fileSystem.contents["C:\\Kits\\1033.mst"];
         },
         Fields(3, "prerequisites", R"({"name": "R", "code": 13})", "13"), "Integrity check failed. Can't read file 'r.exe'.\r\n"},
        {"", "/i /quiet /record C:\\r.json",
         [](fake::Platform& os) { os.sys.mutexes.insert(kGuard); },
         Fields(3, "package", "null", "null"), nullptr},
        {"", "/I /quiet /record C:\\r.json", nullptr,
         Fields(3, "command line", "null", "null"), "Usage box not shown: the run must not wait for a person.\r\n"},
        {"", "/a D:\\x /record C:\\r.json", nullptr,
         Fields(3, "command line", "null", "null"), nullptr},
        {"", "/x /record C:\\r.json", nullptr,
         Fields(3, "command line", "null", "null"), nullptr},
        {"", "/i /quiet", nullptr, "", nullptr},
    };
    for (const Case& c : cases) {
        fake::Platform os;
        Kit(os, c.ini);
        if (c.machine) c.machine(os);
        setup::Run(os, c.commandLine);
        EXPECT_EQ(os.fileSystem.contents.count("C:\\r.json"), c.json.empty() ? 0u : 1u) << c.commandLine;
        if (!c.json.empty()) {
            EXPECT_EQ(os.fileSystem.contents["C:\\r.json"], "{\n  \"exitCode\": " + c.json + tail);
        }
        if (c.logged) {
            const auto entries = os.LogEntries(kLog);
            EXPECT_NE(std::find(entries.begin(), entries.end(), c.logged), entries.end()) << os.Utf16File(kLog);
        }
        // Only a run at the full level may show a box.
        EXPECT_TRUE((!c.json.empty() && ParseUiLevel(c.commandLine) == UiLevel::Full) ||
                    os.userInterface.shown.empty())
            << c.commandLine;
    }
    fake::Platform os;  // without setup.ini, before the log exists
    EXPECT_EQ(setup::Run(os, "/i /quiet /record C:\\r.json"), 3);
    EXPECT_NE(os.fileSystem.contents["C:\\r.json"].find("\"stage\": \"configuration\""), std::string::npos);
    EXPECT_TRUE(os.userInterface.shown.empty());
}

}  // namespace
}  // namespace setup
