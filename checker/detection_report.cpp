#include "checker/detection_report.h"

#include <memory>

#include "conditions/presence_probes.h"
#include "diagnostics/string_ids.h"
#include "diagnostics/text_format.h"
#include "driver/run.h"

namespace setup::checker {
namespace {

std::string RuleText(const ComponentDescriptor& c) {
    const std::vector<Probe> probes = ProbesSet(c);
    if (probes.empty()) return "none (never missing)";
    switch (probes.front()) {
        case Probe::FileVersion:
            return "FilePath=" + c.FilePath + " FileVer=" + FormatVersionValue(c.FileVer) +
                   (c.FileTryLoad != 0 ? " FileTryLoad=1" : "");
        case Probe::OwnPackage:
            return "MsiProd: the product of " + c.InstPath;
        case Probe::Registry: {
            std::string text = c.Key64 != 0 ? "Key64=1" : "";
            for (const RegConditionPair& pair : c.RegConditions) {
                text += (text.empty() ? "" : "; ") + pair.regPath + " " + pair.regCond;
            }
            return text;
        }
        case Probe::Program:
            return "RunExeCond=" + c.RunExeCond;
    }
    return std::string();
}

// Why the run stops, in the checker's words (its program has no string
// table of its own).
std::string StopReason(const Refusal& r, const Facts& f) {
    switch (r.text.id) {
        case ids::kCannotReadPackage: return "the package cannot be read";
        case ids::kPackageProcessorType: return "a 64-bit package on 32-bit Windows";
        case ids::kWindowsNotSupported: return "Windows before 2000";
        case ids::kOs32Required: return "Os32Need on 64-bit Windows";
        case ids::kInternalError: return "MinWinVersion or MinWinServicePack is not a version";
        case ids::kAdminRequired: return "not an administrator";
        case ids::kBadOperationType: return "MsiType '" + f.main.MsiType + "' does not fit the package";
        case ids::kFileNotFound: return "no package file " + f.packagePath;
        default: break;
    }
    if (r.box == Refusal::Box::Usage) return "the command line shows the usage box";
    return "MinWinVersion not met";  // the configured message or the standard one
}

std::string PrerequisitesText(const Plan& p, const Facts& f) {
    if (p.refusal) return "not run: " + StopReason(*p.refusal, f);
    if (p.prerequisitesFirst) return "run: a fresh install";
    if (p.prerequisitesAfterYes) return "run: before the upgrade";
    if (p.refusedResult == codes::kNewerVersionInstalled) return "not run: a newer version is installed";
    if (p.refusedResult == codes::kMinorUpdateDisabled) return "not run: upgrades are disabled";
    if (p.operation == Operation::Patch) return "not run: a patch";
    if (p.operation == Operation::AdminInstall) return "not run: an administrative install";
    return "not run: the product is installed";
}

DetectedRule Describe(const Component& c) {
    DetectedRule rule;
    rule.section = c.section.Section;
    rule.name = c.section.Name;
    rule.offered = c.listed;
    rule.ticked = c.listed && c.optionalState != OptionalState::Unchecked;
    rule.installs = c.installsUnattended;
    rule.stop = LoopStopName(c.stop);
    rule.asksDownload = c.asksDownload;
    return rule;
}

// The steps of the plan, and where it stops within them.
void DescribePlan(const Plan& p, const Facts& f, DetectionReport& r) {
    if (p.refusal) {
        r.stop = Format("stops at %s: %s (exit code %d)", StageName(p.refusal->stage),
                        StopReason(*p.refusal, f).c_str(), p.refusal->exitCode);
        return;
    }
    r.operation = OperationName(p.operation);
    const auto named = [](const std::vector<Component>& list, bool installs) {
        std::string text;
        for (const Component& c : list) {
            if (installs ? c.installsUnattended : c.listed) {
            text += (text.empty() ? "" : ", ") + c.section.Section + " " + c.section.Name;
        }
        }
        return text.empty() ? std::string("none missing") : text;
    };
    // At the full level a person answers the dialog and the questions;
    // unattended the run goes on as if Yes, and installs what the plan says.
    const bool full = p.runLevel == UiLevel::Full;
    const auto prerequisites = [&] {
        if (full) {
            r.steps.push_back("prerequisites: the dialog lists " + named(p.prerequisites, false));
            r.answerPoints.push_back("the prerequisites dialog");
        } else {
            r.steps.push_back("prerequisites: " + named(p.prerequisites, true));
        }
        if (!full && p.unattendedStop.reason != LoopStop::Reason::None) {
            r.steps.push_back("the install loop stops at " + p.unattendedStop.component + ": " +
                              LoopStopName(p.unattendedStop.reason) +
                              (p.unattendedStop.reason == LoopStop::Reason::Digest
                                   ? " (the run fails with exit code 3)"
                                   : " (the components after it are not installed; the product is)"));
        }
        for (const Component& c : p.prerequisites) {
            if (c.asksDownload && c.listed) {
                r.answerPoints.push_back("the download dialog of " + c.section.Section + " " + c.section.Name +
                                         " (its installer is not on the media)");
            }
        }
    };
    if (p.prerequisitesFirst) prerequisites();
    if (p.question != Question::None) {
        const std::string question = p.question == Question::Upgrade ? "the upgrade question" : "the patch question";
        r.steps.push_back(question + (full ? " (No ends the run with exit code 0)" : " (unattended: Yes)"));
        if (full) r.answerPoints.push_back(question);
    }
    if (p.prerequisitesAfterYes) prerequisites();
    if (!p.installerComplete) {
        r.stop = "stops at installation: the installer library is missing (exit code 3)";
    } else if (p.refusedResult != 0) {
        r.stop = Format("stops at installation: %s (exit code %d)",
                        p.refusedResult == codes::kNewerVersionInstalled ? "a newer version is installed"
                                                                         : "upgrades are disabled (UpdateDisable=1)",
                        p.refusedExitCode);
    } else if (p.packageTampered) {
        r.stop = "stops at installation: the package does not match its Sha256 (exit code 3)";
    } else {
        std::string call = std::string(p.call.patch ? "MsiApplyPatch" : "MsiInstallProduct") + " " + p.call.package +
                           " with command line: " + p.call.commandLine;
        if (p.call.patch) call += Format(" (the installer's interface at level %d)", p.call.patchUiLevel);
        r.steps.push_back(call);
    }
    if (p.postRequisites && r.stop.empty()) {
        std::string names;
        for (const Component& c : p.postRequisiteList) names += (names.empty() ? "" : ", ") + c.section.Section + " " + c.section.Name;
        if (!names.empty()) r.steps.push_back("post-requisites: " + names);
    }
    if (p.restart == RestartPolicy::Ask) {
        r.answerPoints.push_back("the restart question (when a component asks for a restart)");
    }
    if (p.mailQuestion) r.answerPoints.push_back("the mail question (after a failure)");
}

}  // namespace

DetectionReport Detect(platform::Platform& os, const std::string& commandLine) {
    DetectionReport report;
    report.commandLine = commandLine;
    const std::unique_ptr<platform::InstallerLibrary> msi = os.installer().Bind();
    Facts facts = setup::Detect(os, *msi, commandLine);
    if (!facts.iniFound) return report;
    report.readable = true;

    SetupLog log(os);  // no path: nothing is written
    StringTable strings(os, facts.host.userLanguage);
    Services s(os, log, strings, *msi);
    s.host = facts.host;
    s.uiLevel = UiLevel::Quiet;  // no box, ever
    // As the run reads it once it holds its guard (no guard is taken here).
    const Plan plan = PlanGuarded(s, facts);

    if (facts.host.version) {
        report.windows = Format("%u.%u", static_cast<unsigned>(facts.host.version->major),
                                static_cast<unsigned>(facts.host.version->minor));
    }
    report.bits = facts.host.nativeX86 ? 32 : 64;
    report.administrator = facts.host.administrator;
    report.minimumWindows = !facts.minimum.set          ? "not set"
                            : !facts.minimum.Valid()    ? "not a version"
                            : facts.minimumMet          ? "met"
                                                        : "not met";
    report.prerequisites = PrerequisitesText(plan, facts);
    report.neverWait = plan.refusal ? plan.refusal->neverWait : plan.runNeverWait;
    for (const Component& c : plan.prerequisites) {
        DetectedRule rule = Describe(c);
        rule.rule = RuleText(c.section);
        rule.observed = c.finding.evidence;
        rule.verdict = c.finding.verdict == Finding::Verdict::Filtered ? "filtered"
                       : c.finding.verdict == Finding::Verdict::Missing ? "missing"
                                                                         : "present";
        report.rules.push_back(rule);
    }
    for (const Component& c : plan.postRequisiteList) {
        DetectedRule rule = Describe(c);
        rule.rule = "runs after a fresh install: " + c.section.InstPath;
        rule.verdict = "runs";
        report.postRequisites.push_back(rule);
    }
    DescribePlan(plan, facts, report);
    return report;
}

}  // namespace setup::checker
