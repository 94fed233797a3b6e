// Whole runs: boxes, installer calls, log entries, the restart and the record (decisions: plan_test).
#include "driver/run.h"

#include <gtest/gtest.h>

#include <functional>

#include "driver/host_checks.h"
#include "fake_platform.h"

namespace setup {
namespace {

using Lines = std::vector<std::string>;
using OS = fake::Platform;
using Machine = std::function<void(OS&)>;

const std::string kLog = "C:\\Temp\\Demo Setup (2025.03.07 09.05).log";
const std::string kPrereqs = "[PreReq0]\nName=Runtime\nInstPath=r.exe\nFilePath=C:\\none.dll\n";
const std::string kPatch = "MsiPatch=1\nName=Demo\nMsiPath=fix.msp\n";
const std::string kPost = "[PostReq0]\nName=Notes\nInstPath=n.exe\n";

Machine Installed(const char* version, std::deque<int> answers) {
    return [=](OS& os) {
        os.msi.productStates["{C0DE}"] = 5, os.msi.installedVersions["{C0DE}"] = version;
        os.userInterface.answers = answers;
    };
}
int Cancel(platform::PrerequisitesDialog&) { return 2; }
// Another run holds the package's guard.
void AnotherRun(OS& os) { os.sys.mutexes.insert(SingleInstanceName("demo.msi")); }
Machine Answers(std::deque<int> answers) { return [=](OS& os) { os.userInterface.answers = answers; }; }
Machine Children(uint32_t runtime, uint32_t notes) {
    return [=](OS& os) { os.procs.children["\"r.exe\""].exitCode = runtime, os.procs.children["\"n.exe\""].exitCode = notes; };
}

struct RunCase {
    std::string ini;  // after "[Main]\nMsiPath=demo.msi"
    std::string commandLine;
    Machine machine;
    // With /record: exitCode|stage|failingComponent|stoppedAt|declined|installerResult|restart ("-": null)
    // [|optionalComponents|transform]; else the exit code alone.
    std::string record;
    Lines boxes = {};            // beginnings of every box
    Lines log = {}, calls = {};  // beginnings, in this order
};

const RunCase kRuns[] = {
    {"", "/i", Installed("0.9", {6}), "0|done|-|-|-|0|none",
     {"Demo (1.0) Setup|Older version of this product is already installed."}, {},
     {"ProductInfo {C0DE}|VersionString", "SetInternalUI 5", "InstallProduct C:\\Kits\\demo.msi|REINSTALL=ALL"}},
    {"", "/i /quiet", Installed("1.1", {}), "1638|installation|-|-|-|3000|none", {}, {"Newer version of this product"}},
    {"", "/i", Installed("0.9", {7}), "0|installation|-|-|\"upgrade\"|-|none", {"Demo (1.0) Setup|Older version"}, {},
     {"!InstallProduct"}},
    {"", "/i /quiet", [](OS& os) { os.msi.installResult.result = 3010; }, "3010|done|-|-|-|3010|needed"},
    {kPatch + "VersionTarget=1.0\n", "/i", Answers({6}), "0",
     {"Demo Update|Do you want to apply patch '1.0' to 'Demo'?"}, {},
     {"EnableLog 8159|" + kLog + "|1", "SetInternalUI 3", "ApplyPatch C:\\Kits\\fix.msp|(null)|0|"}},
    {kPatch, "/i", Answers({7}), "0|installation|-|-|\"patch\"|-|none", {"Demo Update|"}},
    {kPatch, "/i /passive", nullptr, "0", {},
     {"Do you want to apply patch", "Auto-upgrading in passive mode\r\n", "Setup complete\r\n"},
     {"SetInternalUI 67", "SetInternalUI 3", "ApplyPatch "}},
    // Prerequisites, product, post-requisites, then their restart.
    {kPrereqs + kPost, "/i /quiet", Children(3010, 0), "1641|done|-|-|-|0|started", {},
     {"Install the component 'Runtime'.\r\n", "Calling MsiInstallProduct", "Install the component 'Notes'.\r\n",
      "Auto-reboot in passive mode\r\n"}},
    {"[PreReq0]\nName=Runtime \"2\"\nInstPath=r.exe\nFilePath=C:\\none.dll\nOptional=1\n" + kPost, "/i /passive",
     Children(1603, 3010), "1641|done|{\"name\": \"Runtime \\\"2\\\"\", \"code\": 1603}|-|-|0|started|[\"Runtime \\\"2\\\"\"]"},
    {kPost + "[PostReq1]\nName=Later\nInstPath=l.exe\n", "/i /quiet", Children(0, 1641),
     "1641|post-requisites|-|-|-|0|started", {}, {"!Install the component 'Later'"}},
    {kPost, "/i /passive", [](OS& os) { Children(0, 3010)(os), os.sys.restartError = 5; }, "3010|done|-|-|-|0|needed",
     {}, {"ExitWindowsEx() failed. Error(5)'Unknown error 0x00000005'.\r\n"}},
    // Loops that stop early.
    {"AdminNeed=0\n" + kPrereqs, "/i /quiet", [](OS& os) { os.sys.administrator = false; },
     "0|done|-|{\"component\": \"Runtime\", \"reason\": \"administrator\"}|-|0|none"},
    {"LangId=1049\n", "/i /quiet", [](OS& os) { os.fileSystem.contents["C:\\Kits\\1049.mst"]; },
     "0|done|-|-|-|0|none|C:\\\\Kits\\\\1049.mst", {}, {"LangId transform is C:\\Kits\\1049.mst\r\n"}},
    {kPost + "Sha256=" + std::string(64, '0') + "\n", "/i /quiet", nullptr,
     "3|post-requisites|{\"name\": \"Notes\", \"code\": 13}|{\"component\": \"Notes\", \"reason\": \"digest\"}|-|0|none"},
    // Refusals; the installed state is read under the guard only.
    {"", "/i /quiet", AnotherRun,
     "1618|package|-|-|-|-|none", {}, {"Another setup run for 'demo.msi' is active: this run ends.\r\n"},
     {"!QueryProductState"}},
    // Without /record the caller gets the plain codes: 3 for the refusal, 0 for a started restart.
    {"", "/i /quiet", AnotherRun, "3"},
    {kPost, "/i /passive", Children(0, 3010), "0", {}, {"Auto-reboot in passive mode\r\n"}},
    // An administrative install is passive: nothing waits for a person.
    {"", "/a C:\\Image", Installed("0.9", {}), "0", {}, {},
     {"!QueryProductState", "InstallProduct C:\\Kits\\demo.msi|TARGETDIR=\"C:\\Image\"  ACTION=ADMIN"}},
    {"MsiPatch=1\nName=Demo\nMsiPath=gone.msp\n", "/a C:\\Image", nullptr, "3", {},
     {"Setup was unable to find the file\n'C:\\Kits\\gone.msp'.\r\n"}},
    // A cancelled dialog chose nothing; a pending restart is told however the run ends.
    {kPrereqs + "Optional=1\n", "/i", [](OS& os) { os.userInterface.prerequisitesDialog = Cancel; },
     "3|prerequisites|-|-|\"prerequisites\"|-|none"},
    {kPrereqs, "/i", [](OS& os) { Installed("0.9", {6})(os), os.userInterface.prerequisitesDialog = Cancel; },
     "0|prerequisites|-|-|\"prerequisites\"|-|none", {"Demo (1.0) Setup|Older version"}},
    {kPrereqs, "/i /quiet", [](OS& os) { Children(3010, 0)(os), os.msi.installResult.result = 1603; },
     "3|installation|-|-|-|1603|needed"},
    // A component's restart ends the run; the installer's 3010 is the caller's with /norestart.
    {kPrereqs, "/i /quiet", Children(1641, 0), "1641|prerequisites|-|-|-|-|started", {}, {}, {"!InstallProduct"}},
    {"", "/i /quiet /norestart", [](OS& os) { os.msi.installResult.result = 3010; }, "3010"},
    {"", "/i /quiet", [](OS& os) { os.msi.installResult.result = 1618; }, "1618|installation|-|-|-|1618|none"},
    // The package's digest, checked under the guard.
    {"Sha256=" + std::string(64, '0') + "\n", "/i /quiet", nullptr,
     "3|installation|-|{\"component\": \"C:\\\\Kits\\\\demo.msi\", \"reason\": \"digest\"}|-|-|none", {},
     {"Integrity check failed. File 'C:\\Kits\\demo.msi' has SHA-256 e3b0", "BSInstall() failed. Error(13)"},
     {"!InstallProduct"}},
    {"", "/i /quiet", [](OS& os) { os.sys.architecture = 0; }, "3|host checks|-|-|-|-|none"},  // x86: no box
    {"", "/I /quiet", nullptr, "3|command line|-|-|-|-|none", {},
     {"Usage box not shown: the run must not wait for a person."}},
    {"", "/i /quiet /record C:\\r.json", [](OS& os) { os.fileSystem.unopenable.insert("C:\\r.json"); }, "0",
     {}, {"Setup complete\r\n", "Can't write the result record 'C:\\r.json'.\r\n"}},
};

// Lines beginning with `expected` appear in `actual` in order ("!line": none begins so).
bool InOrder(const Lines& expected, const Lines& actual) {
    auto at = actual.begin();
    for (const std::string& line : expected) {
        if (line[0] == '!') {
            const auto begins = [&](const std::string& a) { return a.rfind(line.substr(1), 0) == 0; };
            if (std::any_of(actual.begin(), actual.end(), begins)) return false;
            continue;
        }
        at = std::find_if(at, actual.end(), [&](const std::string& a) { return a.rfind(line, 0) == 0; });
        if (at == actual.end()) return false;
        ++at;
    }
    return true;
}

std::string RecordFields(int exitCode, const std::string& json) {
    std::string fields = std::to_string(exitCode);
    for (const std::string key : {"stage", "failingComponent", "stoppedAt", "declined", "installerResult", "restart",
                                  "optionalComponents", "transform"}) {
        if (json.empty()) break;
        const size_t start = json.find("\"" + key + "\": ") + key.size() + 4;
        std::string value = json.substr(start, json.find(",\n", start) - start);
        if (value.front() == '"' && key != "declined") value = value.substr(1, value.size() - 2);
        if (value != "[]" && !value.empty()) fields += "|" + (value == "null" ? "-" : value);
    }
    return fields;
}

TEST(Runs, BoxesCallsEntriesAndTheRecord) {
    for (const RunCase& c : kRuns) {
        fake::Platform os;
        std::string ini = c.ini;
        ini.insert(std::min(ini.find('['), ini.size()), "MsiPath=demo.msi\n");
        os.Kit("[Main]\n" + ini);
        os.msi.packages["C:\\Kits\\fix.msp"];
        os.fileSystem.contents["C:\\Kits\\fix.msp"];
        os.userInterface.prerequisitesDialog = [](platform::PrerequisitesDialog& d) { return d.Install(1, {1}); };
        if (c.machine) c.machine(os);
        const size_t held = os.sys.mutexes.size();
        const bool record = c.record.find('|') != std::string::npos;
        const std::string commandLine = c.commandLine + (record ? " /record C:\\r.json" : "");

        SCOPED_TRACE(c.ini + commandLine);
        const int exitCode = setup::Run(os, commandLine);
        const std::string& json = os.fileSystem.contents["C:\\r.json"];
        EXPECT_EQ(record ? RecordFields(exitCode, json) : std::to_string(exitCode), c.record);
        EXPECT_EQ(json.empty(), !record) << "a record only when asked for";
        const Lines& boxes = os.userInterface.shown;
        EXPECT_TRUE(boxes.size() == c.boxes.size() && InOrder(c.boxes, boxes)) << testing::PrintToString(boxes);
        EXPECT_EQ(os.userInterface.owner, 0u) << "the last box stands alone, owned by no window";
        EXPECT_TRUE(InOrder(c.log, os.LogEntries(kLog))) << testing::PrintToString(os.LogEntries(kLog));
        EXPECT_TRUE(InOrder(c.calls, os.msi.calls)) << testing::PrintToString(os.msi.calls);
        EXPECT_LE(os.msi.reads, 1) << "the package is read once";
        EXPECT_EQ(os.sys.mutexes.size(), held) << "the guard is released";
    }
}

}  // namespace
}  // namespace setup
