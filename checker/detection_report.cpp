#include "checker/detection_report.h"

#include <memory>

#include "conditions/presence_probes.h"
#include "diagnostics/string_ids.h"
#include "diagnostics/text_format.h"
#include "driver/plan.h"

namespace setup::checker {
namespace {

class Recorder final : public ProbeObserver {
public:
    void Saw(const std::string& observation) override { seen.push_back(observation); }
    std::vector<std::string> seen;
};

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
    return "not run: the product is installed";
}

void DescribePlan(const Plan& p, const Facts& f, const std::vector<DetectedRule>& rules, DetectionReport& r) {
    if (p.refusal) {
        r.stop = Format("stops at %s: %s (exit code %d)", StageName(p.refusal->stage),
                        StopReason(*p.refusal, f).c_str(), p.refusal->exitCode);
        return;
    }
    r.operation = OperationName(p.operation);
    std::vector<std::string> missing, downloads;
    for (const DetectedRule& rule : rules) {
        if (rule.installs) missing.push_back(rule.section + " " + rule.name);
    }
    for (const ComponentDescriptor& c : f.prerequisites) {
        if (!c.Url.empty()) downloads.push_back(c.Section + " " + c.Name);
    }
    const auto listed = [](const std::vector<std::string>& items) {
        std::string text;
        for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
        return text.empty() ? std::string("none missing") : text;
    };
    if (p.prerequisitesFirst) r.steps.push_back("prerequisites: " + listed(missing));
    if (p.question == Question::Upgrade) {
        r.steps.push_back("the upgrade question (unattended: Yes; No ends the run with exit code 0)");
        r.answerPoints.push_back("the upgrade question");
    }
    if (p.question == Question::Patch) {
        r.steps.push_back("the patch question (unattended: Yes; No ends the run with exit code 0)");
        r.answerPoints.push_back("the patch question");
    }
    if (p.prerequisitesAfterYes) r.steps.push_back("prerequisites: " + listed(missing));
    if (p.prerequisitesFirst || p.prerequisitesAfterYes) {
        r.answerPoints.push_back("the prerequisites dialog (when one is missing)");
        for (const std::string& d : downloads) r.answerPoints.push_back("the download dialog of " + d + " (when its installer is not on the media)");
    }
    if (!p.installerComplete) {
        r.steps.push_back("the installer library is missing: the run fails with 1603");
    } else if (p.refusedResult != 0) {
        r.steps.push_back(Format("no installer call: the run fails with %u", static_cast<unsigned>(p.refusedResult)));
    } else {
        r.steps.push_back(std::string(p.call.patch ? "MsiApplyPatch" : "MsiInstallProduct") + " " + p.call.package +
                          " with command line: " + p.call.commandLine);
    }
    if (p.postRequisites) {
        std::string names;
        for (const ComponentDescriptor& c : f.postRequisites) names += (names.empty() ? "" : ", ") + c.Section + " " + c.Name;
        if (!names.empty()) r.steps.push_back("post-requisites: " + names);
    }
    r.answerPoints.push_back("the restart question (when a component asks for a restart)");
    if (!f.main.SendErrorLogTo.empty()) r.answerPoints.push_back("the mail question (after a failure)");
}

}  // namespace

DetectionReport Detect(platform::Platform& os) {
    DetectionReport report;
    const std::unique_ptr<platform::InstallerLibrary> msi = os.installer().Bind();
    // An unattended run of the operation switch alone.
    const Facts facts = setup::Detect(os, *msi, "/i /quiet");
    if (!facts.iniFound) return report;
    report.readable = true;
    const Plan plan = MakePlan(facts);

    if (facts.host.version) {
        report.windows = Format("%u.%u", static_cast<unsigned>(facts.host.version->major),
                                static_cast<unsigned>(facts.host.version->minor));
    }
    report.bits = facts.host.nativeX86 ? 32 : 64;
    report.administrator = facts.host.administrator;
    report.minimumWindows = !facts.minimum.set          ? "not set"
                            : !facts.minimum.Valid()    ? "not a version"
                            : facts.minimumMet     ? "met"
                                                        : "not met";
    report.prerequisites = PrerequisitesText(plan, facts);
    const bool stageRuns = plan.prerequisitesFirst || plan.prerequisitesAfterYes;

    SetupLog log(os);
    StringTable strings(os, facts.host.userLanguage);
    Services s(os, log, strings, *msi);
    s.host = facts.host;
    s.uiLevel = UiLevel::Quiet;  // no box, ever
    Recorder recorder;
    s.observer = &recorder;
    for (const ComponentDescriptor& section : facts.prerequisites) {
        recorder.seen.clear();
        Component component(section);
        const Finding found = ProbeComponent(s, section);
        const bool needed = component.Take(found);
        DetectedRule rule;
        rule.section = section.Section;
        rule.name = section.Name;
        rule.rule = RuleText(section);
        rule.observed = recorder.seen;
        rule.verdict = found.verdict == Finding::Verdict::Filtered ? "filtered"
                       : needed                                    ? "missing"
                                                                   : "present";
        rule.offered = stageRuns && (needed || section.IsUninstall != 0);
        rule.installs = rule.offered && component.Selected;
        report.rules.push_back(rule);
    }
    DescribePlan(plan, facts, report.rules, report);
    return report;
}

}  // namespace setup::checker
