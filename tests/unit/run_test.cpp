// Whole runs over the in-memory platform, where the order of what the run
// does is the rule: log entries, boxes and installer calls in sequence, and
// the result record of each way a run ends. What is decided is the plan's
// (plan_test.cpp).
#include "driver/run.h"

#include <gtest/gtest.h>

#include <functional>

#include "diagnostics/text_format.h"
#include "driver/command_line.h"
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
const std::string kCall = "Calling MsiInstallProduct with command line: ";
const std::string kCallEnd = "\r\n\r\n\r\n";
const std::string kInternal = "An irrecoverable internal error occured.\r\n";
const std::string kLogLine = "\r\n\r\nLog file:\r\n'" + kLog + "'";
const std::string kUpgrade = "Demo (1.0) Setup|Older version of this product is already installed. Do you want to upgrade it?";
const std::string kRecord = " /record C:\\r.json";

// demo.msi beside the program, and setup.ini naming it after `ini` ("-": no setup.ini).
void Kit(fake::Platform& os, const std::string& ini, const std::string& name = "Demo") {
    os.msi.packages[kPackage].properties = {{"ProductCode", "{C0DE}"}, {"ProductVersion", "1.0"},
                                            {"ProductName", name}};
    os.fileSystem.contents[kPackage] = "package";
    os.msi.packages["C:\\Kits\\fix.msp"];
    os.fileSystem.contents["C:\\Kits\\fix.msp"];
    if (ini != "-") os.fileSystem.SetIni("[Main]\n" + ini + "\n[Main]\nMsiPath=demo.msi\n");
}
std::function<void(fake::Platform&)> Installed(const char* version, std::deque<int> answers = {}) {
    return [=](fake::Platform& os) {
        os.msi.productStates["{C0DE}"] = 5;
        os.msi.installedVersions["{C0DE}"] = version;
        os.userInterface.answers = answers;
    };
}
std::function<void(fake::Platform&)> InstallerAnswers(uint32_t result) {
    return [=](fake::Platform& os) { os.msi.installResult.result = result; };
}

struct RunCase {
    const char* name;
    std::string ini;  // after "[Main]\nMsiPath=demo.msi\n"
    std::string commandLine;
    std::function<void(fake::Platform&)> machine;
    int exitCode;
    // What must happen, in this order (other entries may come between):
    // log entries, boxes ("caption|text"; every box when given) and installer calls.
    Lines log, boxes, calls;
};

const std::string kReportEnd = "BSInstall() failed. Error(";
const RunCase kRuns[] = {
    {"administrative install", "MsiProp=P=1\n", "/a \"D:\\Admin Point\"", nullptr, 0, {"UILevel is set to 5\r\n"}, {},
     {"SetInternalUI 67", "InstallProduct " + kPackage + "|TARGETDIR=\"D:\\Admin Point\"  ACTION=ADMIN"}},
    {"older version upgraded after Yes", "", "", Installed("0.9", {6}), 0, {}, {kUpgrade},
     {"QueryProductState {C0DE}", "ProductInfo {C0DE}|VersionString", "SetInternalUI 5", "EnableLog 8159|" + kLog + "|1",
      "InstallProduct " + kPackage + "|REINSTALL=ALL REINSTALLMODE=vomus"}},
    {"older version not upgraded after No", "", "", Installed("0.9", {7}), 0, {}, {kUpgrade}, {"SetInternalUI 5"}},
    {"unattended upgrade", "", "/i /quiet", Installed("0.9"), 0,
     {"Older version of this product is already installed. Do you want to upgrade it?\r\n",
      "Auto-upgrading in passive mode\r\n", kCall + "REINSTALL=ALL REINSTALLMODE=vomus" + kCallEnd, "Setup complete\r\n"},
     {}, {}},
    {"newer version installed", "", "/i /quiet", Installed("1.1"), 3,
     {"Newer version of this product is already installed. Installation of this version cannot continue. To configure "
      "or remove the existing version of this product, use Add/Remove Programs on the Control Panel.\r\n",
      kReportEnd + "3000)'Unknown error 0x00000BB8'.", "Can't read email address from ini file.\r\n"},
     {}, {}},
    {"cancel inside the installer", "", "/i /quiet", InstallerAnswers(1602), 1602, {"Installation canceled\r\n"}, {}, {}},
    {"installer failure at the full level, mail declined", "SendErrorLogTo=help@example.invalid\n", "",
     [](fake::Platform& os) {
         os.msi.installResult.result = 1603;
         os.sys.errorTexts[1603] = "Fatal error during installation.\r\n";
         os.userInterface.answers = {1, 7};
     },
     3, {"MsiInstallProduct returned 1603\r\n", kInternal, kReportEnd + "1603)'Fatal error during installation.'."},
     {"Installation Error|An irrecoverable internal error occured." + kLogLine,
      "Demo (1.0)|Installation failed. Product not installed.\n\nDo you want to send the log file:\n'" + kLog +
          "'\nto 'help@example.invalid'?"},
     {}},
    {"the installer cannot find the package: shown, then a failure", "", "", InstallerAnswers(2), 3, {},
     {"Installation Error|Setup was unable to find the file\n'" + kPackage + "'.",
      "Installation Error|An irrecoverable internal error occured." + kLogLine},
     {}},
    {"hardware exception inside the installer", "", "/i /quiet",
     [](fake::Platform& os) {
         os.msi.installResult.raisedException = true;
         os.msi.installResult.exceptionCode = 0xC0000005;
     },
     3, {"Hardware exception occur. Exception code 0xC0000005.\r\n", kReportEnd + "1603)'Unknown error 0x00000643'."},
     {}, {}},
    {"patch asked at the full level, applied with the basic interface",
     "MsiPath=fix.msp\nMsiPatch=1\nName=Demo Fix\nVersionTarget=1.0\nMsiProp=P=1\n", "",
     [](fake::Platform& os) { os.userInterface.answers = {6}; }, 0,
     {"Do you want to apply patch '1.0' to 'Demo Fix'?\r\n", "Calling MsiApplyPatch with command line: P=1" + kCallEnd,
      "Setup complete\r\n"},
     {"Demo Fix Update|Do you want to apply patch '1.0' to 'Demo Fix'?"},
     {"SetInternalUI 5", "EnableLog 8159|C:\\Temp\\Demo Fix Setup (2025.03.07 09.05).log|1", "SetInternalUI 3",
      "ApplyPatch C:\\Kits\\fix.msp|(null)|0|P=1"}},
    {"usage box", "", "/passive", nullptr, 3, {"UILevel is set to 5\r\n"},
     {"Usage Info|Usage:\n   setup.exe /option [optional parameter]\n\nInstall Options\n   /i\tPerform an install.\n"
      "   /a <full path to administrative install>\n\tPerform an administrative install.\n\nDisplay Options\n"
      "   /quiet\n\tQuiet mode, no user interaction\n   /passive\n\tUnattended mode - progress bar only\n\n"
      "Setting Public Properties\n   PROPERTY=PropertyValue\n\nExample: setup.exe /i /passive ABC=DEF"},
     {}},
    {"no configuration file: a box at every level", "-", "/i /quiet", nullptr, 3, {},
     {"Installation Error|Can't find ini file:\r\n'C:\\Kits\\setup.ini'"}, {}},
    {"administrators only", "", "", [](fake::Platform& os) { os.sys.administrator = false; }, 0,
     {"Admin priviledges are required.\r\n"}, {"Installation Error|Admin priviledges are required."}, {}},
    {"an invalid minimum version names the log", "MinWinVersion=6.x\n", "",
     [](fake::Platform& os) { os.fileSystem.longPaths[kLog] = "C:\\Long\\run.log"; }, 3,
     {"CheckWinVersion() failed. Invalid version '6.x' in variable 'MinWinVersion'.\r\n", kInternal},
     {"Installation Error|An irrecoverable internal error occured.\r\nLog file:\r\n'C:\\Long\\run.log'"}, {}},
    {"another run for the package", "", "",
     [](fake::Platform& os) { os.sys.mutexes.insert("Global\\_KESETUP_{242BA512-C2FD-4f14-B947-E0D6B9D288DE}demo.msi"); },
     3, {}, {}, {"QueryProductState {C0DE}"}},
};

// Whether `expected` appears within `actual` in its order.
bool InOrder(const Lines& expected, const Lines& actual) {
    auto at = actual.begin();
    for (const std::string& line : expected) {
        at = std::find(at, actual.end(), line);
        if (at == actual.end()) return false;
        ++at;
    }
    return true;
}

class RunTableTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(RunTableTest, Outcome) {
    const RunCase& c = GetParam();
    fake::Platform os;
    Kit(os, c.ini);  // the case's MsiPath, when it has one, comes first and counts
    if (c.machine) c.machine(os);
    const size_t heldBefore = os.sys.mutexes.size();

    EXPECT_EQ(setup::Run(os, c.commandLine), c.exitCode);
    const bool patch = c.ini.find("Name=Demo Fix") != std::string::npos;
    const Lines entries = os.LogEntries(patch ? "C:\\Temp\\Demo Fix Setup (2025.03.07 09.05).log" : kLog);
    EXPECT_TRUE(InOrder(c.log, entries)) << os.Utf16File(kLog);
    Lines boxes;
    for (const auto& box : os.userInterface.shown) boxes.push_back(box.caption + "|" + box.text);
    EXPECT_EQ(boxes, c.boxes);
    EXPECT_TRUE(InOrder(c.calls, os.msi.calls));
    EXPECT_LE(os.msi.reads, 1) << "the package is read once";
    EXPECT_EQ(os.sys.mutexes.size(), heldBefore) << "the single-instance guard is released at the end";
}

std::string CaseName(const ::testing::TestParamInfo<RunCase>& param) {
    std::string name;
    for (char ch : std::string(param.param.name)) name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Runs, RunTableTest, ::testing::ValuesIn(kRuns), CaseName);

TEST(Runs, EveryEntryAndCallOfAQuietFreshInstall) {
    fake::Platform os;
    Kit(os, "");
    EXPECT_EQ(setup::Run(os, "/i /quiet"), 0);
    EXPECT_EQ(os.LogEntries(kLog), (Lines{"UILevel is set to 2\r\n"} + kLanguage + Lines{kCall + kCallEnd, "Setup complete\r\n"}));
    EXPECT_EQ(os.msi.calls, (Lines{"QueryProductState {C0DE}", "SetInternalUI 2", "EnableLog 8159|" + kLog + "|1",
                                   "InstallProduct " + kPackage + "|"}));
}

// The prerequisites and post-requisites of a fresh install, and the restart
// they may ask for.
TEST(ComponentRuns, PrerequisitesThenProductThenPostRequisitesThenRestart) {
    struct Case {
        const char* commandLine;
        uint32_t runtimeCode;
        std::vector<int> answers;
        int exitCode;
        size_t restarts;
        const char* restartEntry;  // nullptr: none
    };
    const Case runs[] = {
        {"/i /quiet", 0, {}, 0, 0, nullptr},
        {"/i /quiet", 3010, {}, 0, 1, "Auto-reboot in passive mode\r\n"},  // unattended: restarted without a question
        {"", 3010, {6, 7}, 3010, 0, nullptr},                              // still missing: go on; restart declined
        {"", 3010, {6, 6}, 0, 1, nullptr},                                 // restart accepted
        {"/i /quiet /norestart", 3010, {}, 3010, 0, "Restart left to the caller (/norestart): the run ends with 3010.\r\n"},
        {"/i /passive /record C:\\r.json", 3010, {}, 1641, 1, "Auto-reboot in passive mode\r\n"},
    };
    for (const Case& r : runs) {
        fake::Platform os;
        Kit(os, "[PreReq0]\nName=Runtime\nInstPath=#Root#\\runtime.exe\nFilePath=C:\\none.dll\n"
                "[PostReq0]\nName=Notes\nInstPath=#Root#\\notes.exe\n");
        os.procs.children["\"C:\\Kits\\runtime.exe\""].exitCode = r.runtimeCode;
        os.procs.children["\"C:\\Kits\\notes.exe\""];
        os.userInterface.answers = {r.answers.begin(), r.answers.end()};
        os.userInterface.prerequisitesDialog = [](platform::PrerequisitesDialog& d) { return d.Install(1, {1}); };
        EXPECT_EQ(setup::Run(os, r.commandLine), r.exitCode) << r.commandLine << r.runtimeCode;
        EXPECT_EQ(os.procs.started, (Lines{"\"C:\\Kits\\runtime.exe\"", "\"C:\\Kits\\notes.exe\""}));
        EXPECT_EQ(os.sys.restarts.size(), r.restarts);
        const Lines entries = os.LogEntries(kLog);
        const auto at = [&](const std::string& prefix) {
            return std::find_if(entries.begin(), entries.end(), [&](const std::string& e) { return e.rfind(prefix, 0) == 0; }) -
                   entries.begin();
        };
        EXPECT_LT(at("Install the component 'Runtime'"), at(kCall));
        EXPECT_LT(at(kCall), at("Install the component 'Notes'"));
        if (r.restartEntry) {
            EXPECT_LT(at(r.restartEntry), static_cast<long>(entries.size())) << r.commandLine;
        }
    }
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

// The result record: written at the end of every run that asks for one,
// it tells where the run ended and why, as the run went.
TEST(ResultRecord, TellsWhereAndWhyTheRunEnded) {
    struct Case {
        std::string ini, commandLine;
        std::function<void(fake::Platform&)> machine;
        std::string fields;  // exitCode to restart, one line each; empty: no record
    };
    const auto Fields = [](int exitCode, const char* stage, const char* failing, const char* stopped,
                           const char* declined, const char* installer, const char* restart = "none") {
        return Format("%d|%s|%s|%s|%s|%s|%s", exitCode, stage, failing, stopped, declined, installer, restart);
    };
    const std::string zeros(64, '0');
    const auto upgrade = Installed("0.9");
    const Case cases[] = {
        {"", "/i /quiet", nullptr, Fields(0, "done", "null", "null", "null", "0")},
        {"SendErrorLogTo=help@example.invalid\n", "/i /record \"C:\\r.json\" /quiet A=1", InstallerAnswers(1603),
         Fields(3, "installation", "null", "null", "null", "1603")},
        {"", "/i /quiet", InstallerAnswers(1618), Fields(1618, "installation", "null", "null", "null", "1618")},
        {"", "/i /quiet", InstallerAnswers(3010), Fields(3010, "done", "null", "null", "null", "3010", "needed")},
        {"", "/i /quiet", InstallerAnswers(1641), Fields(1641, "done", "null", "null", "null", "1641", "started")},
        {"[PreReq0]\nName=Runtime \"2\"\nInstPath=r.exe\nFilePath=C:\\none.dll\nOptional=1\n"
         "[PostReq0]\nName=Notes\nInstPath=n.exe\n", "/i /passive",
         [](fake::Platform& os) {
             os.procs.children["\"r.exe\""].exitCode = 1603;
             os.procs.children["\"n.exe\""].exitCode = 3010;
         },
         Fields(1641, "done", R"({"name": "Runtime \"2\"", "code": 1603})", "null", "null", "0", "started")},
        {"[PostReq0]\nName=Notes\nInstPath=n.exe\n", "/i /passive",
         [](fake::Platform& os) {
             os.procs.children["\"n.exe\""].exitCode = 3010;
             os.sys.restartError = 5;
         },
         Fields(3010, "done", "null", "null", "null", "0", "needed")},
        // The download that nobody may be asked for stops the prerequisites.
        {"[PreReq0]\nName=Web\nUrl=http://x.example/w\nInstPath=w.exe\nFilePath=C:\\none.dll\n"
         "[PreReq1]\nName=R\nInstPath=r.exe\nFilePath=C:\\none.dll\n", "/i /quiet", nullptr,
         Fields(0, "done", "null", R"({"component": "Web", "reason": "download"})", "null", "0")},
        {"AdminNeed=0\n[PreReq0]\nName=R\nInstPath=r.exe\nFilePath=C:\\none.dll\n", "/i /quiet",
         [](fake::Platform& os) { os.sys.administrator = false; },
         Fields(0, "done", "null", R"({"component": "R", "reason": "administrator"})", "null", "0")},
        {"", "/i", Installed("0.9", {7}), Fields(0, "installation", "null", "null", "\"upgrade\"", "null")},
        {"[PreReq0]\nName=R\nInstPath=r.exe\nFilePath=C:\\none.dll\n", "/i", 
         [](fake::Platform& os) {
             Installed("0.9", {6})(os);
             os.userInterface.prerequisitesDialog = [](platform::PrerequisitesDialog&) { return 2; };
         },
         Fields(0, "prerequisites", "null", "null", "\"prerequisites\"", "null")},
        {"MsiPatch=1\nName=Demo\nMsiPath=fix.msp\n", "/i", [](fake::Platform& os) { os.userInterface.answers = {7}; },
         Fields(0, "installation", "null", "null", "\"patch\"", "null")},
        {"Sha256=" + zeros + "\nLangId=1049\n", "/i /quiet",
         [](fake::Platform& os) { os.fileSystem.contents["C:\\Kits\\1049.mst"]; },
         Fields(3, "installation", "null", "null", "null", "13")},
        {"[PostReq0]\nName=Notes\nInstPath=n.exe\nSha256=" + zeros + "\n", "/i /quiet", nullptr,
         Fields(3, "post-requisites", R"({"name": "Notes", "code": 13})", R"({"component": "Notes", "reason": "digest"})",
                "null", "0")},
        {"[PreReq0]\nName=R\nInstPath=r.exe\nFilePath=C:\\n.dll\nSha256=" + zeros + "\n", "/i /quiet", upgrade,
         Fields(3, "prerequisites", R"({"name": "R", "code": 13})", R"({"component": "R", "reason": "digest"})", "null",
                "null")},
        {"", "/i /quiet",
         [](fake::Platform& os) { os.sys.mutexes.insert("Global\\_KESETUP_{242BA512-C2FD-4f14-B947-E0D6B9D288DE}demo.msi"); },
         Fields(3, "package", "null", "null", "null", "null")},
        {"", "/I /quiet", nullptr, Fields(3, "command line", "null", "null", "null", "null")},
        {"", "/a D:\\x", nullptr, Fields(3, "command line", "null", "null", "null", "null")},
        {"", "/i /quiet", [](fake::Platform& os) { os.sys.architecture = 0; },
         Fields(3, "host checks", "null", "null", "null", "null")},
        {"-", "/i /quiet", nullptr, Fields(3, "configuration", "null", "null", "null", "null")},
    };
    for (const Case& c : cases) {
        fake::Platform os;
        Kit(os, c.ini);
        if (c.machine) c.machine(os);
        const std::string commandLine = c.commandLine + kRecord;
        const int exitCode = setup::Run(os, commandLine);
        const std::string json = os.fileSystem.contents["C:\\r.json"];
        std::string fields = std::to_string(exitCode);
        for (const char* key : {"stage", "failingComponent", "stoppedAt", "declined", "installerResult", "restart"}) {
            const size_t start = json.find(std::string("\"") + key + "\": ") + std::string(key).size() + 4;
            std::string value = json.substr(start, json.find(",\n", start) - start);
            if (value.front() == '"' && std::string(key) != "declined") value = value.substr(1, value.size() - 2);
            fields += "|" + value;
        }
        EXPECT_EQ(fields, c.fields) << c.ini << commandLine;
        EXPECT_EQ(json.rfind("{\n  \"exitCode\": " + std::to_string(exitCode) + ",\n", 0), 0u);
        // Only a run at the full level may show a box.
        EXPECT_TRUE(ParseUiLevel(commandLine) == UiLevel::Full || os.userInterface.shown.empty()) << commandLine;
    }
    fake::Platform os;
    Kit(os, "");
    setup::Run(os, "/i /quiet");
    EXPECT_EQ(os.fileSystem.contents.count("C:\\r.json"), 0u) << "no record unless asked for";
}

TEST(ResultRecord, EntriesOfARunThatMustNotWait) {
    fake::Platform os;
    Kit(os, "SendErrorLogTo=help@example.invalid\n[PostReq0]\nName=Notes\nInstPath=n.exe\n");
    os.msi.installResult.result = 1603;
    os.fileSystem.unopenable.insert("C:\\r.json");
    EXPECT_EQ(setup::Run(os, "/i /quiet" + kRecord), 3);
    const Lines entries = os.LogEntries(kLog);
    EXPECT_EQ(Lines(entries.end() - 2, entries.end()),
              (Lines{"Mail question not asked: the run must not wait for a person. Answered No.\r\n",
                     "Can't write the result record 'C:\\r.json'.\r\n"}));
    fake::Platform usage;
    Kit(usage, "");
    EXPECT_EQ(setup::Run(usage, "/I /quiet" + kRecord), 3);
    EXPECT_EQ(usage.LogEntries(kLog).back(), "Usage box not shown: the run must not wait for a person.\r\n");
    os.sys.restartError = 5;
    os.sys.errorTexts[5] = "Access is denied.\r\n";
    os.msi.installResult.result = 0;
    os.procs.children["\"n.exe\""].exitCode = 3010;
    EXPECT_EQ(setup::Run(os, "/i /quiet"), 3010) << "a refused restart is still needed";
    EXPECT_EQ(os.LogEntries(kLog).back(), "ExitWindowsEx() failed. Error(5)'Access is denied.'.\r\n");
}

}  // namespace
}  // namespace setup
