#include "checker/setupcheck_command.h"

#include "checker/detection_report.h"
#include "checker/media_check.h"
#include "checker/media_platform.h"
#include "diagnostics/text_format.h"

namespace setup::checker {
namespace {

// The program whose configuration is checked, in the platform's form.
std::string ProgramPath(std::string media) {
    for (char& c : media) c = c == '/' ? '\\' : c;
    if (media.size() >= 4 && EqualsNoCase(media.substr(media.size() - 4), ".exe")) return media;
    while (media.size() > 1 && media.back() == '\\') media.pop_back();
    return media + "\\setup.exe";
}


std::string JsonReport(const std::string& media, const std::string& ini,
                       const MediaReport& report) {
    std::string out =
        "{\n  \"media\": " + JsonString(media) + ",\n  \"ini\": " + JsonString(ini) + ",\n  \"package\": ";
    const PackageFacts& p = report.package;
    if (p.path.empty()) {
        out += "null";
    } else {
        out += "{\"path\": " + JsonString(p.path) + ", \"opened\": " + (p.opened ? "true" : "false");
        if (p.opened) {
            out += ", \"ProductCode\": " + JsonString(p.productCode) +
                   ", \"ProductVersion\": " + JsonString(p.productVersion) +
                   ", \"ProductName\": " + JsonString(p.productName) +
                   ", \"Template\": " + JsonString(p.summaryTemplate);
        }
        out += "}";
    }
    out += ",\n  \"findings\": [";
    for (size_t i = 0; i < report.findings.size(); ++i) {
        const Finding& f = report.findings[i];
        out += std::string(i == 0 ? "" : ",") + "\n    {\"section\": " + JsonString(f.section) +
               ", \"key\": " + JsonString(f.key) + ", \"reason\": " + JsonString(f.reason) +
               ", \"severity\": \"" + (f.severity == Severity::Error ? "error" : "warning") + "\"}";
    }
    return out + (report.findings.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

std::string TextReport(const std::string& ini, const MediaReport& report) {
    std::string out;
    for (const Finding& f : report.findings) {
        out += f.section + (f.key.empty() ? "" : " " + f.key) + ": " + f.reason + "\n";
    }
    const size_t n = report.findings.size();
    out += Format("%u finding%s in %s", static_cast<unsigned>(n), n == 1 ? "" : "s", ini.c_str());
    const PackageFacts& p = report.package;
    if (p.opened) {
        out += "; package " + p.path + ": \"" + p.productName + "\" " + p.productVersion +
               ", ProductCode " + p.productCode + ", Template \"" + p.summaryTemplate + "\"";
    }
    return out + "\n";
}

std::string JsonList(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : ", ") + JsonString(item);
    return "[" + out + "]";
}

std::string DetectionText(const DetectionReport& r) {
    std::string out = "Windows " + r.windows + ", " + std::to_string(r.bits) + "-bit, administrator: " +
                      (r.administrator ? "yes" : "no") + ", MinWinVersion: " + r.minimumWindows +
                      "\nPrerequisites " + r.prerequisites + "\n";
    if (!r.stop.empty()) {
        out += "Plan: the run " + r.stop + "\n";
    } else {
        out += "Plan: " + r.operation + "\n";
        for (size_t i = 0; i < r.steps.size(); ++i) out += Format("  %u. ", static_cast<unsigned>(i + 1)) + r.steps[i] + "\n";
        for (const std::string& point : r.answerPoints) out += "  a person answers: " + point + "\n";
    }
    for (const DetectedRule& rule : r.rules) {
        out += rule.section + " " + rule.name + ": " + rule.verdict +
               (rule.installs ? ", installed by setup.exe" : rule.offered ? ", listed, not installed unattended" : "") +
               "\n  rule: " + rule.rule + "\n";
        for (const std::string& seen : rule.observed) out += "  observed: " + seen + "\n";
    }
    return out;
}

std::string DetectionJson(const DetectionReport& r) {
    std::string out = "{\n  \"windows\": " + JsonString(r.windows) + ",\n  \"bits\": " + std::to_string(r.bits) +
                      ",\n  \"administrator\": " + (r.administrator ? "true" : "false") +
                      ",\n  \"minimumWindows\": " + JsonString(r.minimumWindows) +
                      ",\n  \"prerequisites\": " + JsonString(r.prerequisites) +
                      ",\n  \"plan\": {\"operation\": " + (r.operation.empty() ? "null" : JsonString(r.operation)) +
                      ", \"stop\": " + (r.stop.empty() ? "null" : JsonString(r.stop)) + ", \"steps\": " +
                      JsonList(r.steps) + ", \"answerPoints\": " + JsonList(r.answerPoints) + "},\n  \"rules\": [";
    for (size_t i = 0; i < r.rules.size(); ++i) {
        const DetectedRule& rule = r.rules[i];
        out += std::string(i == 0 ? "" : ",") + "\n    {\"section\": " + JsonString(rule.section) +
               ", \"name\": " + JsonString(rule.name) + ", \"rule\": " + JsonString(rule.rule) +
               ", \"observed\": " + JsonList(rule.observed) + ", \"verdict\": " + JsonString(rule.verdict) +
               ", \"offered\": " + (rule.offered ? "true" : "false") +
               ", \"installs\": " + (rule.installs ? "true" : "false") + "}";
    }
    return out + (r.rules.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

}  // namespace

CommandResult RunSetupCheck(const std::vector<std::string>& args, platform::Files& files,
                            platform::Installer& installer, platform::Platform* machine) {
    CommandResult result;
    std::string media;
    bool json = false, detect = false, wrong = false;
    for (const std::string& arg : args) {
        if (arg == "--json") {
            json = true;
        } else if (arg == "--detect") {
            detect = true;
        } else if (media.empty() && !arg.empty() && arg[0] != '-') {
            media = arg;
        } else {
            wrong = true;
        }
    }
    if (media.empty() || wrong) {
        result.err = "usage: setupcheck [--detect] MEDIA_FOLDER|PROGRAM.exe [--json]\n";
        result.exitCode = 2;
        return result;
    }
    if (detect) {
        if (machine == nullptr) {
            result.err = "setupcheck: --detect reads this machine's registry and files: run it on Windows\n";
            result.exitCode = 2;
            return result;
        }
        MachinePlatform os(*machine, ProgramPath(media));
        const DetectionReport report = Detect(os);
        if (!report.readable) {
            result.err = "setupcheck: cannot read the media: no configuration file in " + media + "\n";
            result.exitCode = 2;
            return result;
        }
        result.out = json ? DetectionJson(report) : DetectionText(report);
        return result;
    }

    MediaPlatform os(files, installer, ProgramPath(media));
    const MediaReport report = CheckMedia(os);
    const std::string ini = report.iniPath.substr(report.iniPath.rfind('\\') + 1);
    if (!report.readable) {
        const std::string error = "cannot read the media: no " + ini + " in " + media;
        result.err = "setupcheck: " + error + "\n";
        if (json)
            result.out =
                "{\n  \"media\": " + JsonString(media) + ",\n  \"error\": " + JsonString(error) + "\n}\n";
        result.exitCode = 2;
        return result;
    }
    result.out = json ? JsonReport(media, ini, report) : TextReport(ini, report);
    result.exitCode = report.findings.empty() ? 0 : 1;
    return result;
}

}  // namespace setup::checker
