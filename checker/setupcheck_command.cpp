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

// The length of the UTF-8 sequence at `i`; 0 when there is none.
size_t Utf8Length(const std::string& text, size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t n = lead >= 0xC2 && lead <= 0xDF   ? 2
                     : lead >= 0xE0 && lead <= 0xEF ? 3
                     : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                    : 0;
    if (n == 0 || i + n > text.size()) return 0;
    // The second byte's range rules out overlong forms, surrogates and
    // code points above U+10FFFF.
    const auto second = static_cast<unsigned char>(text[i + 1]);
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (second < low || second > high) return 0;
    for (size_t k = 2; k < n; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
    }
    return n;
}

// A JSON string. UTF-8 passes; any other byte (text in a Windows code
// page) is taken as Latin-1.
std::string Json(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t n = c >= 0x80 ? Utf8Length(text, i) : 1;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += text[i];
        } else if (c < 0x20 || n == 0) {
            out += Format("\\u%04x", c);
        } else {
            out += text.substr(i, n);
            i += n - 1;
        }
    }
    return out + "\"";
}

std::string JsonReport(const std::string& media, const std::string& ini,
                       const MediaReport& report) {
    std::string out =
        "{\n  \"media\": " + Json(media) + ",\n  \"ini\": " + Json(ini) + ",\n  \"package\": ";
    const PackageFacts& p = report.package;
    if (p.path.empty()) {
        out += "null";
    } else {
        out += "{\"path\": " + Json(p.path) + ", \"opened\": " + (p.opened ? "true" : "false");
        if (p.opened) {
            out += ", \"ProductCode\": " + Json(p.productCode) +
                   ", \"ProductVersion\": " + Json(p.productVersion) +
                   ", \"ProductName\": " + Json(p.productName) +
                   ", \"Template\": " + Json(p.summaryTemplate);
        }
        out += "}";
    }
    out += ",\n  \"findings\": [";
    for (size_t i = 0; i < report.findings.size(); ++i) {
        const Finding& f = report.findings[i];
        out += std::string(i == 0 ? "" : ",") + "\n    {\"section\": " + Json(f.section) +
               ", \"key\": " + Json(f.key) + ", \"reason\": " + Json(f.reason) +
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

std::string DetectionText(const DetectionReport& r) {
    std::string out = "Windows " + r.windows + ", " + std::to_string(r.bits) + "-bit, administrator: " +
                      (r.administrator ? "yes" : "no") + ", MinWinVersion: " + r.minimumWindows +
                      "\nPrerequisites " + r.prerequisites + "\n";
    for (const DetectedRule& rule : r.rules) {
        out += rule.section + " " + rule.name + ": " + rule.verdict +
               (rule.installs ? ", installed by setup.exe" : rule.offered ? ", listed, not installed unattended" : "") +
               "\n  rule: " + rule.rule + "\n";
        for (const std::string& seen : rule.observed) out += "  observed: " + seen + "\n";
    }
    return out;
}

std::string DetectionJson(const DetectionReport& r) {
    std::string out = "{\n  \"windows\": " + Json(r.windows) + ",\n  \"bits\": " + std::to_string(r.bits) +
                      ",\n  \"administrator\": " + (r.administrator ? "true" : "false") +
                      ",\n  \"minimumWindows\": " + Json(r.minimumWindows) +
                      ",\n  \"prerequisites\": " + Json(r.prerequisites) + ",\n  \"rules\": [";
    for (size_t i = 0; i < r.rules.size(); ++i) {
        const DetectedRule& rule = r.rules[i];
        std::string observed;
        for (const std::string& seen : rule.observed) observed += (observed.empty() ? "" : ", ") + Json(seen);
        out += std::string(i == 0 ? "" : ",") + "\n    {\"section\": " + Json(rule.section) +
               ", \"name\": " + Json(rule.name) + ", \"rule\": " + Json(rule.rule) +
               ", \"observed\": [" + observed + "], \"verdict\": " + Json(rule.verdict) +
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
                "{\n  \"media\": " + Json(media) + ",\n  \"error\": " + Json(error) + "\n}\n";
        result.exitCode = 2;
        return result;
    }
    result.out = json ? JsonReport(media, ini, report) : TextReport(ini, report);
    result.exitCode = report.findings.empty() ? 0 : 1;
    return result;
}

}  // namespace setup::checker
