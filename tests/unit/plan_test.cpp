// The plan from facts; the command line and the host checks' helpers.
#include "driver/command_line.h"
#include "driver/host_checks.h"
#include "driver/plan.h"

#include <gtest/gtest.h>

#include <functional>

#include "diagnostics/text_format.h"

namespace setup {
namespace {

// Not yet installed; 64-bit Windows 10; an administrator.
Facts Media(const std::string& commandLine) {
    Facts f;
    f.command = ParseCommandLine(commandLine);
    f.modulePath = "C:\\Kits\\setup.exe", f.iniPath = "C:\\Kits\\setup.ini", f.packagePath = "C:\\Kits\\demo.msi";
    f.defaultLogPath = "C:\\Temp\\Demo.log";
    f.main.MsiPath = "demo.msi", f.main.MsiType = "Install";
    f.iniFound = f.packageExists = f.installerComplete = f.package.read = f.host.administrator = true;
    f.package.productName = "Demo", f.package.productVersion = "1.0", f.package.productCode = "{C0DE}";
    f.package.summaryTemplate = "x64;1033";
    f.host.version = platform::OsVersion{10, 0};
    f.host.userLanguage = 1033;
    return f;
}

void Patch(Facts& f) {
    f.main.MsiPatch = 1, f.main.MsiType = "Major", f.main.Name = "Fix", f.main.VersionTarget = "1.0";
    f.package = PackageFacts();
}

void Installed(Facts& f, int relation) { f.package.state = 5, f.package.relation = relation; }

void MinWin(Facts& f, const char* version, bool met, const char* message = "") {
    f.main.MinWinVersion = version, f.main.MinWinMessage = message;
    f.minimum = ParseMinimumWindows(f.main), f.minimumMet = met;
}

// A refusal, or the operation and the installer's call.
std::string Describe(const Plan& p) {
    if (p.refusal) {
        const Refusal& r = *p.refusal;
        const char* when[] = {"before the log", "before the guard", "after the guard"};
        const char* box[] = {"plain", "usage", "error"};
        std::string text = r.text.id != 0 ? std::to_string(r.text.id) : "'" + r.text.literal + "'";
        for (const std::string& arg : r.text.args) text += "|" + arg;
        return Format("stop %s, %s, exit %d: %s box %s%s%s", when[static_cast<int>(r.when)], StageName(r.stage),
                      r.exitCode, box[static_cast<int>(r.box)], text.c_str(), r.logFileLine ? " +log file" : "",
                      r.log.empty() ? "" : (" after " + std::to_string(r.log.size()) + " entries").c_str());
    }
    std::string steps = OperationName(p.operation);
    if (p.prerequisitesFirst) steps += ", prerequisites";
    if (p.question != Question::None) steps += p.question == Question::Upgrade ? ", upgrade?" : ", patch?";
    if (p.prerequisitesAfterYes) steps += ", prerequisites";
    if (p.refusedResult != 0) return steps + Format(", refused %u", static_cast<unsigned>(p.refusedResult));
    steps += std::string(p.call.patch ? ", patch '" : ", install '") + p.call.commandLine + "'";
    if (!p.call.adminTarget.empty()) steps += " to " + p.call.adminTarget;
    if (p.call.patch) steps += Format(" at %d", p.call.patchUiLevel);
    if (!p.transform.empty()) steps += " with " + p.transform;
    if (p.postRequisites) steps += ", post-requisites";
    const char* restart[] = {"asked", "automatic", "left to the caller"};
    if (static_cast<int>(p.runLevel) == 5 && p.restart == RestartPolicy::Ask) return steps;
    return steps + Format(", level %d, restart %s", static_cast<int>(p.runLevel), restart[static_cast<int>(p.restart)]);
}

struct Case {
    std::function<void(Facts&)> change;
    std::string plan;
    const char* commandLine = "/i";
};

// Refusals in the order the run meets them, then the operations; "/i" unless a command line is given.
TEST(Plan, RefusalsOperationsAndTheInstallersCommandLine) {
    const auto transform = [](auto& f) { f.transformsPresent = {1033}; };
    const std::string install = "a fresh install, prerequisites, install '", post = "', post-requisites";
    const std::string fresh = install + post, same = "an install over the same version, ";
    const std::string upgrade = "an upgrade of an older version, upgrade?, prerequisites, install '";
    const std::string mst = " TRANSFORMS=\"C:\\Kits\\1033.mst\"' with C:\\Kits\\1033.mst";
    const std::string host = "stop before the guard, host checks, exit ";
    const std::string config = "stop before the log, configuration, exit 3: plain box ";
    const std::string package = "stop after the guard, package, exit 3: error box ";
    const Case cases[] = {
        {[](auto& f) { f.iniFound = false; }, config + "161|C:\\Kits\\setup.ini"},
        {[](auto& f) { f.package.read = false; }, config + "152|C:\\Kits\\demo.msi"},
        {[](auto& f) { f.host.nativeX86 = true; }, "stop before the log, host checks, exit 3: plain box 153"},
        {nullptr, "stop before the guard, command line, exit 3: usage box ''", "/passive"},
        {[](auto& f) { f.host.version = platform::OsVersion{4, 0}; }, host + "3: error box 139|Demo|1.0"},
        {[](auto& f) { f.main.Os32Need = 1; }, host + "0: error box 154"},
        {[](auto& f) { MinWin(f, "6.x", true); }, host + "3: error box 142 +log file after 1 entries"},
        {[](auto& f) { MinWin(f, "11.0", false); }, host + "3: error box 163|'Windows 11.0'"},
        {[](auto& f) { MinWin(f, "11", false, "Too old\\r\\nSee readme"); }, host + "3: error box 'Too old\r\nSee readme'"},
        {[](auto& f) { f.host.administrator = false; }, host + "0: error box 140"},
        {[](auto& f) { f.main.MsiType = "Minor"; }, package + "141|Minor"},
        {nullptr, "stop after the guard, command line, exit 3: usage box ''", "/a"},
        {[](auto& f) { f.packageExists = false; }, package + "133|C:\\Kits\\demo.msi"},
        {nullptr, fresh},  // what passes the checks:
        {[](auto& f) { f.host.nativeX86 = true, f.package.summaryTemplate = "x64"; }, fresh},
        {[](auto& f) { f.host.nativeX86 = true, f.package.summaryTemplate = "4;1033"; }, fresh},
        {[](auto& f) { f.main.MsiType = "installupgrade"; }, fresh},
        {[](auto& f) { MinWin(f, "6.1", true); }, fresh},
        {[](auto& f) { f.main.MsiProp = "P=1"; },
         install + "A=1 B=\"x y\"" + post + ", level 2, restart automatic", "/i /quiet A=1 B=\"x y\""},
        {[](auto& f) { f.main.MsiProp = "P=1"; }, install + "P=1" + post + ", level 67, restart automatic", "/i /passive"},
        {transform, install + mst + ", post-requisites"},
        {[&](auto& f) { transform(f); Installed(f, 0); }, same + "install '" + mst},
        {[](auto& f) { f.package.state = 1; }, same + "install ''"},
        {[&](auto& f) { transform(f); Installed(f, 1); }, same + "refused 3000"},
        {[&](auto& f) { transform(f); Installed(f, -1); }, upgrade + "REINSTALL=ALL REINSTALLMODE=vomus'"},
        {[](auto& f) { Installed(f, -1); f.main.DefaultReinstallmode = "REINSTALL=ALL"; }, upgrade + "REINSTALL=ALL'"},
        {[](auto& f) { Installed(f, -1); f.main.UpdateDisable = 1; }, "an upgrade of an older version, refused 7086"},
        {[&](auto& f) { transform(f); f.main.MsiProp = "P=1"; },
         "an administrative install, install 'TARGETDIR=\"D:\\Admin Point\"  ACTION=ADMIN', level 67, restart automatic",
         "/a \"D:\\Admin Point\""},
        {[&](auto& f) { transform(f); Patch(f); f.main.MsiProp = "P=1"; }, "a patch, patch?, patch 'P=1' at 3"},
        {Patch, "a patch, patch?, patch '' at 2, level 2, restart automatic", "/i /quiet /record C:\\r.json"},
        {Patch, "a patch, patch?, patch '' at 3", "/i /record C:\\r.json"},  // a person may be asked
        {[](auto& f) { Patch(f); f.main.MsiType = "Minor"; },
         "a patch, patch?, patch '' to C:\\Image at 3, level 67, restart automatic", "/a C:\\Image"},
        {nullptr, install + "A=1 REBOOT=ReallySuppress" + post + ", level 2, restart left to the caller",
         "/i /quiet /norestart A=1"},
        {nullptr, install + "A=1 reboot=Force" + post + ", level 5, restart left to the caller",
         "/i /NoRestart A=1 reboot=Force"},
    };
    for (const Case& c : cases) {
        Facts facts = Media(c.commandLine);
        if (c.change) c.change(facts);
        EXPECT_EQ(Describe(MakePlan(facts)), c.plan) << c.commandLine;
    }
}

TEST(Plan, EachComponentAsTheInstallLoopWillMeetIt) {
    using V = Finding::Verdict;
    const auto digest = [](DigestCheck::Verdict v) { return [v](auto&, auto& f) { f.digest.verdict = v; }; };
    const std::pair<const char*, std::function<void(ComponentDescriptor&, ComponentFacts&)>> rows[] = {
        {"Present", [](auto&, auto& f) { f.finding.verdict = V::Present; }},
        {"Filtered", [](auto&, auto& f) { f.finding.verdict = V::Filtered; }},
        {"Step", [](auto& d, auto& f) { d.IsUninstall = 1, f.finding.verdict = V::Present; }},
        {"Unticked", [](auto& d, auto&) { d.Optional = OptionalState::Unchecked; }},
        {"Licence", [](auto&, auto& f) { f.finding.programChose = true, f.finding.optional = OptionalState::Unchecked; }},
        {"Matches", digest(DigestCheck::Verdict::Matches)},
        {"Web", [](auto& d, auto&) { d.Url = "http://x"; }},
        {"Found", [](auto& d, auto& f) { d.Url = "http://x", f.installerFound = true; }},
        {"Tampered", digest(DigestCheck::Verdict::Differs)},
        {"Unreadable", digest(DigestCheck::Verdict::Unreadable)},
        {"Elevated", [](auto& d, auto& f) { d.AdminNeed = 1, f.digest.verdict = DigestCheck::Verdict::Differs; }},
    };
    // Each row as the loop meets it, then where the unattended loop stops.
    const std::string first = "-|-|listed ticked installs|listed installs|listed|listed ticked installs|listed ticked ";
    const std::string stops = "listed ticked stop:digest|listed ticked stop:digest|listed ticked stop:";
    const std::tuple<const char*, bool, std::string> runs[] = {
        {"/i /quiet", false, first + "download|listed ticked installs|" + stops + "administrator|Tampered:digest"},
        {"/i /quiet /record C:\\r.json", true, first + "stop:download|listed ticked|" + stops + "digest|Web:download"},
    };
    for (const auto& [commandLine, administrator, decided] : runs) {
        Facts f = Media(commandLine);
        f.host.administrator = administrator, f.main.AdminNeed = 0, f.guarded = true;
        for (const auto& [name, change] : rows) {
            ComponentDescriptor d;
            d.Name = name, d.InstPath = "x.exe", d.AdminNeed = 0;
            ComponentFacts seen;
            seen.finding.verdict = V::Missing;
            change(d, seen);
            f.prerequisites.push_back(d);
            f.prerequisiteFacts.push_back(seen);
        }
        const Plan p = MakePlan(f);
        std::string seen;
        const char* reason[] = {"", "administrator", "download", "digest"};
        for (const Component& k : p.prerequisites) {
            seen += k.listed ? "listed" : "-";
            if (k.listed && k.optionalState != OptionalState::Unchecked) seen += " ticked";
            if (k.installsUnattended) seen += " installs";
            if (k.asksDownload) seen += " download";
            seen += std::string(k.stop != LoopStop::Reason::None ? " stop:" : "") + reason[static_cast<int>(k.stop)] + "|";
        }
        EXPECT_EQ(seen + p.unattendedStop.component + ":" + reason[static_cast<int>(p.unattendedStop.reason)], decided);
    }
}

TEST(WindowsDisplayName, NamesAndServicePackText) {
    const std::tuple<uint32_t, uint32_t, uint16_t, uint16_t, const char*> cases[] = {
        {5, 1, 3, 0, "'Windows XP' (Servi\xF1" "e Pack 3)"}, {5, 1, 2, 1, "'Windows XP' (Servi\xF1" "e Pack 2.1)"},
        {5, 1, 0, 4, "'Windows XP'"},  {6, 4, 0, 0, "'Windows 6.4'"},  {10, 5, 0, 0, "'Windows 10'"},
        {5, 0, 0, 0, "'Windows 2000'"}, {5, 2, 0, 0, "'Windows XP 64-Bit'"}, {6, 2, 0, 0, "'Windows 8'"},
    };
    for (const auto& [major, minor, spMajor, spMinor, text] : cases) {
        EXPECT_EQ(WindowsDisplayName(major, minor, spMajor, spMinor), text);
    }
}

TEST(MinimumWindows, VersionsAndTheEntriesOfInvalidOnes) {
    const std::string invalid = "CheckWinVersion() failed. Invalid version ";
    const std::tuple<const char*, const char*, std::string> cases[] = {
        {"", "2", "not set"},
        {"5.1", "2", "5.1 sp 2.0"},
        {"5.1", "2.1", "5.1 sp 2.1"},
        {"6", "", "6.0 sp 0.0"},
        {" 6 . 1 ", "", "6.1 sp 0.0"},  // blanks around numbers, empty pieces skipped, a blank one is 0
        {"6..1", "", "6.1 sp 0.0"},
        {"6. .1", "", "6.0 sp 0.0"},
        {"...", "1.x", invalid + "'...' in variable 'MinWinVersion'.\r\n" + invalid + "'1.x' in variable 'MinWinServicePack'.\r\n"},
    };
    for (const auto& [version, servicePack, read] : cases) {
        MainSettings main;
        main.MinWinVersion = version, main.MinWinServicePack = servicePack;
        const MinimumWindows m = ParseMinimumWindows(main);
        std::string entries;
        for (const std::string& entry : m.errors) entries += entry;
        const std::string set = Format("%u.%u sp %u.%u", m.major, m.minor, unsigned{m.spMajor}, unsigned{m.spMinor});
        EXPECT_EQ(!entries.empty() ? entries : m.set ? set : "not set", read) << version;
    }
}

TEST(SingleInstance, GuardNames) {
    const std::string prefix = "Global\\_KESETUP_{242BA512-C2FD-4f14-B947-E0D6B9D288DE}";
    EXPECT_EQ(SingleInstanceName("packages\\product.msi"), prefix + "packages/product.msi");
    const std::string longest(259 - prefix.size(), 'p');
    EXPECT_EQ(SingleInstanceName(longest), prefix + longest);
    const std::string hashed = SingleInstanceName(longest + "p");
    EXPECT_EQ(hashed.substr(0, prefix.size() + 1), prefix + "#");
    EXPECT_EQ(hashed.size(), prefix.size() + 17);
    EXPECT_NE(hashed, SingleInstanceName(longest + "q"));
}

std::string Describe(const CommandLine& c) {
    const char* mode[] = {"install", "usage", "admin"};
    std::string text = mode[static_cast<int>(c.mode)];
    if (c.uiLevel != UiLevel::Full) text += c.uiLevel == UiLevel::Quiet ? ", quiet" : ", passive";
    if (c.mode == RunMode::AdminInstall) text += c.adminTargetValid ? ", to " + c.adminTarget : ", no target";
    if (!c.logPath.empty()) text += ", log " + c.logPath;
    if (!c.properties.empty()) text += ", properties " + c.properties;
    if (!c.recordPath.empty()) text += ", record " + c.recordPath;
    return text + (c.noRestart ? ", no restart" : "");
}

TEST(ParseCommandLine, EachReaderWalksTheTokensByItsOwnRules) {
    const std::string x258 = "/" + std::string(258, 'x'), x259 = "/" + std::string(259, 'x');
    const std::string tooLong = "P=" + std::string(1037, 'v'), longest = "P=" + std::string(1036, 'v');
    const std::pair<std::string, std::string> cases[] = {
        // The operation: the first token alone.
        {"   \t", "install"}, {"/I", "usage"}, {"/quiet /i", "usage"}, {"\"/i\"", "usage"}, {"/ix", "usage"},
        // The display option: the first after the switch.
        {"/i /quiet /passive", "install, quiet"}, {"/i /passive /quiet", "install, passive"},
        {"/i / /quiet", "install"}, {"/i " + x259 + " /quiet", "install"},
        {"/i " + x258 + " /quiet", "install, quiet"},
        {"/i P=" + std::string(300, 'v') + " /quiet", "install, quiet, properties P=" + std::string(300, 'v')},
        // The log: the rest of the line, blanks and one pair of quotes dropped.
        {"/i /log C:\\Temp\\run.log /quiet", "install, quiet, log C:\\Temp\\run.log /quiet"},
        {"/i -LOG \"C:\\My Logs\\a.log\"", "install, log C:\\My Logs\\a.log"},
        {"/i /log \"a.log", "install, log \"a.log"}, {"/i /log \"\"a.log\"\"", "install, log \"a.log\""},
        {"/i /log \"\"", "install"}, {"/log C:\\x.log", "usage"},
        {"/i /log a.log /log b.log", "install, log b.log"}, {"/i / /log a.log", "install"},
        // The administrative target: exactly one token.
        {"/a \"D:\\Admin Point\"", "admin, to D:\\Admin Point"}, {"/a", "admin, no target"},
        {"/a D:\\Admin /passive", "admin, passive, no target"}, {"/a D:\\\"odd\"path", "admin, to D:\\oddpath"},
        // Tokens end at blanks, or at the quote that closes a quote after "=".
        {"/i ab\"c d=1", "install, properties d=1"}, {"/i A=\"open ended", "install, properties A=\"open ended"},
        {"/i A=\"x\"y B=1", "install, properties A=\"x\" B=1"},
        {"/i =\"a b\"", "install, properties =\"a"},  // the first character is never examined
        // Public properties, in order.
        {"A=1 B=2", "usage, properties B=2"}, {"/i A=1 " + tooLong + " C=3", "install, properties A=1"},
        {"/i A=1 " + longest, "install, properties A=1 " + longest}, {"/i -X=1 Y=", "install, properties Y="},
        {"/i /record C:\\a=b.json Y=1", "install, properties Y=1, record C:\\a=b.json"},
        // The record: the token after the option, whatever it is.
        {"/i /record C:\\r.json /quiet", "install, quiet, record C:\\r.json"}, {"/i /record \"\"", "install"},
        {"/i -RECORD \"C:\\My Results\\r.json\"", "install, record C:\\My Results\\r.json"},
        // No restart: anywhere after the switch, in any case.
        {"/i /quiet A=1 -NoRestart", "install, quiet, properties A=1, no restart"},
    };
    for (const auto& [text, parts] : cases) EXPECT_EQ(Describe(ParseCommandLine(text)), parts) << text.substr(0, 60);
}

}  // namespace
}  // namespace setup
