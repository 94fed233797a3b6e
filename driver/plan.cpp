#include "driver/plan.h"

#include "diagnostics/string_ids.h"
#include "diagnostics/text_format.h"
#include "product/language_transform.h"

namespace setup {
namespace {

constexpr const char* kDefaultReinstall = "REINSTALL=ALL REINSTALLMODE=vomus";

// Whether the public properties set the property (letter case aside).
bool SetsProperty(const std::string& properties, const char* name) {
    const std::string wanted = std::string(name) + "=";
    for (size_t pos = 0; pos < properties.size();) {
        const size_t start = properties.find_first_not_of(" \t", pos);
        if (start == std::string::npos) break;
        if (StartsWithNoCase(properties.substr(start), wanted)) return true;
        pos = properties.find_first_of(" \t", start);
        if (pos == std::string::npos) break;
    }
    return false;
}

// Each prerequisite as the stage will meet it: offered when missing (or an
// uninstall step); at the install loop a missing administrator stops it,
// then an installer that is not on the media asks for the download (or,
// where nobody may be asked, stops it), then a file that does not match its
// Sha256 stops it. Unattended, the loop installs the offered and selected
// ones in order up to the first that stops it.
void PlanPrerequisites(const Facts& f, bool neverWait, Plan& p) {
    for (size_t i = 0; i < f.prerequisites.size() && i < f.prerequisiteFacts.size(); ++i) {
        const ComponentFacts& seen = f.prerequisiteFacts[i];
        Component c(f.prerequisites[i]);
        c.finding = seen.finding;
        c.listed = c.Take(seen.finding) || c.section.IsUninstall != 0;
        c.digest = seen.digest;
        if (c.section.AdminNeed != 0 && !f.host.administrator) {
            c.stop = LoopStop::Reason::Administrator;
        } else if (!c.section.Url.empty() && !c.section.InstPath.empty() && !seen.installerFound) {
            if (neverWait) c.stop = LoopStop::Reason::Download;
            c.asksDownload = !neverWait;
        } else if (!seen.digest.Usable()) {
            c.stop = LoopStop::Reason::Digest;
        }
        if (c.listed && c.Selected && p.unattendedStop.reason == LoopStop::Reason::None) {
            if (c.stop != LoopStop::Reason::None) p.unattendedStop = {c.section.Name, c.stop};
            c.installsUnattended = c.stop == LoopStop::Reason::None && !c.asksDownload;
        }
        p.prerequisites.push_back(std::move(c));
    }
}

// The post-requisites run in order; a file that does not match its Sha256
// stops them.
void PlanPostRequisites(const Facts& f, Plan& p) {
    for (size_t i = 0; i < f.postRequisites.size() && i < f.postRequisiteFacts.size(); ++i) {
        Component c(f.postRequisites[i]);
        c.listed = true;
        c.digest = f.postRequisiteFacts[i].digest;
        if (!c.digest.Usable()) c.stop = LoopStop::Reason::Digest;
        p.postRequisiteList.push_back(std::move(c));
    }
}

}  // namespace

bool NeverWait(bool record, UiLevel level) { return record && level != UiLevel::Full; }

const char* StageName(Stage stage) {
    switch (stage) {
        case Stage::Configuration: return "configuration";
        case Stage::CommandLine: return "command line";
        case Stage::HostChecks: return "host checks";
        case Stage::Package: return "package";
        case Stage::Prerequisites: return "prerequisites";
        case Stage::Installation: return "installation";
        case Stage::PostRequisites: return "post-requisites";
        case Stage::Done: break;
    }
    return "done";
}

const char* OperationName(Operation operation) {
    switch (operation) {
        case Operation::Install: return "a fresh install";
        case Operation::Reinstall: return "an install over the same version";
        case Operation::Upgrade: return "an upgrade of an older version";
        case Operation::Patch: return "a patch";
        case Operation::AdminInstall: break;
    }
    return "an administrative install";
}

Plan MakePlan(const Facts& f) {
    Plan p;
    p.uiLevel = f.command.uiLevel;
    p.recordPath = f.command.recordPath;
    const bool record = !p.recordPath.empty();
    p.neverWait = p.runNeverWait = NeverWait(record, p.uiLevel);
    p.runLevel = p.uiLevel;
    p.deploymentExitCodes = record;
    const auto refuse = [&](Refusal::When when, Stage stage, int exitCode, Refusal::Box box, Message text,
                            std::vector<std::string> log = {}, bool logFileLine = false) {
        p.refusal = Refusal{when, stage, exitCode, box, p.runLevel, p.runNeverWait, std::move(log), std::move(text),
                            logFileLine};
        return p;
    };
    using When = Refusal::When;
    using Box = Refusal::Box;

    // Before the log exists: boxes shown whatever the level.
    if (!f.iniFound) return refuse(When::BeforeLog, Stage::Configuration, 3, Box::Plain, {ids::kIniNotFound, {f.iniPath}});
    const MainSettings& main = f.main;
    const bool patch = main.MsiPatch != 0;
    // A patch names itself in [Main]; only a product's package is read here.
    if (!patch && !f.package.read) {
        return refuse(When::BeforeLog, Stage::Configuration, 3, Box::Plain, {ids::kCannotReadPackage, {f.packagePath}});
    }
    if (!patch && f.host.nativeX86 && IsPlatform64(PackagePlatform(f.package.summaryTemplate))) {
        return refuse(When::BeforeLog, Stage::HostChecks, 3, Box::Plain, Message(ids::kPackageProcessorType));
    }
    p.logPath = f.command.logPath.empty() ? f.defaultLogPath : f.command.logPath;

    // The command line and the machine.
    if (f.command.mode == RunMode::ShowUsage) return refuse(When::BeforeGuard, Stage::CommandLine, 3, Box::Usage, Message());
    const std::string& name = patch ? main.Name : f.package.productName;
    const std::string& version = patch ? main.VersionTarget : f.package.productVersion;
    if (!f.host.version || f.host.version->major < 5) {
        return refuse(When::BeforeGuard, Stage::HostChecks, 3, Box::Error, {ids::kWindowsNotSupported, {name, version}});
    }
    if (main.Os32Need != 0 && !f.host.nativeX86) {
        return refuse(When::BeforeGuard, Stage::HostChecks, 0, Box::Error, Message(ids::kOs32Required));
    }
    const MinimumWindows& minimum = f.minimum;
    if (minimum.set && !minimum.Valid()) {
        return refuse(When::BeforeGuard, Stage::HostChecks, 3, Box::Error, Message(ids::kInternalError), minimum.errors, true);
    }
    if (minimum.set && !f.minimumMet) {
        Message text{ids::kWindowsTooOld,
                     {WindowsDisplayName(minimum.major, minimum.minor, minimum.spMajor, minimum.spMinor)}};
        if (!main.MinWinMessage.empty()) {
            text = Message::Literal(main.MinWinMessage);
            ReplaceAll(text.literal, "\\r", "\r");
            ReplaceAll(text.literal, "\\n", "\n");
        }
        return refuse(When::BeforeGuard, Stage::HostChecks, 3, Box::Error, text);
    }
    if (main.AdminNeed != 0 && !f.host.administrator) {
        return refuse(When::BeforeGuard, Stage::HostChecks, 0, Box::Error, Message(ids::kAdminRequired));
    }

    // One run per package at a time; then the package and the operation.
    p.guardName = SingleInstanceName(main.MsiPath);
    if (!OperationTypeFits(main)) {
        return refuse(When::AfterGuard, Stage::Package, 3, Box::Error, {ids::kBadOperationType, {main.MsiType}});
    }
    const bool admin = f.command.mode == RunMode::AdminInstall;
    if (admin && !f.command.adminTargetValid) return refuse(When::AfterGuard, Stage::CommandLine, 3, Box::Usage, Message());
    if (admin) {
        p.runLevel = UiLevel::Passive;
        p.runNeverWait = NeverWait(record, p.runLevel);
    }
    if (!f.packageExists) {
        return refuse(When::AfterGuard, Stage::Package, 3, Box::Error, {ids::kFileNotFound, {f.packagePath}});
    }

    // The command line's public properties, or else MsiProp; never both.
    std::string properties = f.command.properties.empty() ? main.MsiProp : f.command.properties;
    std::string transform;
    if (!admin) {
        LanguageChoice language = SelectLanguageTransform(main.LangId, f.host.userLanguage, f.transformsPresent,
                                                          ProgramFolder(f.modulePath));
        p.languageLog = language.log;
        if (!patch && !language.transform.empty()) {
            transform = language.transform;
            properties += " TRANSFORMS=\"" + transform + "\"";
            p.languageLog.push_back(Format("LangId transform is %s\r\n", transform.c_str()));
        }
    }

    p.caption = {ids::kSetupCaption, {f.package.productName, f.package.productVersion}};
    p.installerComplete = f.installerComplete;
    p.call.package = f.packagePath;
    p.call.commandLine = properties;
    const PackageFacts& installed = f.package;
    if (patch) {
        p.operation = Operation::Patch;
        p.question = Question::Patch;
        p.call.patch = true;
        if (admin) p.call.adminTarget = f.command.adminTarget;
        // The installer's basic interface, but not where nobody may be asked.
        p.call.patchUiLevel = p.runNeverWait ? static_cast<int>(p.runLevel) : kUiLevelBasic;
    } else if (admin) {
        p.operation = Operation::AdminInstall;
        p.call.commandLine = "TARGETDIR=\"" + f.command.adminTarget + "\" " + " ACTION=ADMIN";
    } else if (!installed.Installed() && !installed.Advertised()) {
        p.operation = Operation::Install;
        p.prerequisitesFirst = true;
        p.postRequisites = true;
        p.transform = transform;
    } else if (installed.relation > 0) {
        p.operation = Operation::Reinstall;
        p.refusedResult = codes::kNewerVersionInstalled;
    } else if (installed.relation == 0) {
        p.operation = Operation::Reinstall;
        p.transform = transform;
    } else {
        p.operation = Operation::Upgrade;
        if (main.UpdateDisable == 1) {
            p.refusedResult = codes::kMinorUpdateDisabled;
        } else {
            p.question = Question::Upgrade;
            p.prerequisitesAfterYes = true;
            p.call.commandLine = main.DefaultReinstallmode.empty() ? kDefaultReinstall : main.DefaultReinstallmode;
        }
    }

    // Deployment engines know "another version is installed".
    if (p.deploymentExitCodes) p.refusedExitCode = static_cast<int>(codes::kProductVersionExists);
    p.packageTampered = !f.packageDigest.Usable();
    if (p.prerequisitesFirst || p.prerequisitesAfterYes) PlanPrerequisites(f, p.runNeverWait, p);
    if (p.postRequisites) PlanPostRequisites(f, p);

    p.mailQuestion = !main.SendErrorLogTo.empty() && !p.runNeverWait;
    p.restart = f.command.noRestart            ? RestartPolicy::LeftToCaller
                : p.runLevel == UiLevel::Full ? RestartPolicy::Ask
                                              : RestartPolicy::Automatic;
    // The installer restarts on its own unless told not to.
    if (f.command.noRestart && !SetsProperty(p.call.commandLine, "REBOOT")) {
        p.call.commandLine += std::string(p.call.commandLine.empty() ? "" : " ") + "REBOOT=ReallySuppress";
    }
    return p;
}

}  // namespace setup
