#include "checker/detection_report.h"

#include "conditions/presence_probes.h"
#include "config/configuration.h"
#include "diagnostics/text_format.h"
#include "driver/host_checks.h"
#include "product/msi_library.h"

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

// Whether an unattended "/i" run gets to its prerequisites on this machine
// (setup.exe looks for them before a fresh install and before an upgrade),
// and if not, the first reason it stops or skips them.
std::string PrerequisitesStage(platform::Platform& os, const MainSettings& main, const DetectionReport& r) {
    if (main.MsiPatch != 0) return "not run: a patch";
    const std::string packagePath = GetModulePath(os, false, true) + main.MsiPath;
    PackageProperties package;
    if (!ReadPackageProperties(os, packagePath, package)) return "not run: the package cannot be read";
    if (IsNativeX86(os) && IsPlatform64(PackagePlatform(package.summaryTemplate))) {
        return "not run: a 64-bit package on 32-bit Windows";
    }
    if (main.Os32Need != 0 && !IsNativeX86(os)) return "not run: Os32Need on 64-bit Windows";
    if (r.minimumWindows == "not met") return "not run: MinWinVersion not met";
    if (main.AdminNeed != 0 && !r.administrator) return "not run: not an administrator";
    bool advertised = false;
    int relation = 0;
    const bool installed = QueryPackageProduct(os, packagePath, &advertised, &relation);
    if (!installed && !advertised) return "run: a fresh install";
    if (installed && relation < 0) {
        return main.UpdateDisable == 1 ? "not run: upgrades are disabled" : "run: before the upgrade";
    }
    return "not run: the product is installed";
}

}  // namespace

DetectionReport Detect(platform::Platform& os) {
    DetectionReport report;
    if (!os.files().SearchFinds(GetIniPath(os))) return report;
    report.readable = true;

    const std::string noLog;
    SetupLog log(os, noLog);
    StringTable strings(os);
    Services s(os, log, strings);
    s.uiLevel = UiLevel::Quiet;  // no box, ever
    Recorder recorder;
    s.observer = &recorder;

    platform::OsVersion version;
    if (os.system().Version(&version)) {
        report.windows = Format("%u.%u", static_cast<unsigned>(version.major), static_cast<unsigned>(version.minor));
    }
    report.bits = IsNativeX86(os) ? 32 : 64;
    report.administrator = os.system().IsAdministrator();
    const MainSettings main = ReadMainSettings(os);
    report.minimumWindows = main.MinWinVersion.empty()       ? "not set"
                            : CheckWinVersion(s, main, noLog) ? "met"
                                                              : "not met";

    report.prerequisites = PrerequisitesStage(os, main, report);
    const bool stageRuns = report.prerequisites.rfind("run:", 0) == 0;

    for (const ComponentDescriptor& section : ReadPrerequisiteList(os, kPrerequisiteSections)) {
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
    return report;
}

}  // namespace setup::checker
