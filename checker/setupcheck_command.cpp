#include "checker/setupcheck_command.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "checker/deployment.h"
#include "checker/detection_report.h"
#include "checker/media_archive.h"
#include "checker/media_check.h"
#include "checker/media_platform.h"
#include "config/configuration.h"
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


// The "findings" member and the object's end.
std::string FindingsJson(const std::vector<Finding>& findings) {
    std::string out = "  \"findings\": [";
    for (size_t i = 0; i < findings.size(); ++i) {
        const Finding& f = findings[i];
        out += std::string(i == 0 ? "" : ",") + "\n    {\"section\": " + JsonString(f.section) +
               ", \"key\": " + JsonString(f.key) + ", \"reason\": " + JsonString(f.reason) +
               ", \"severity\": \"" + (f.severity == Severity::Error ? "error" : "warning") + "\"}";
    }
    return out + (findings.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

// A finding about the whole file is named after the file.
std::string FindingLines(const std::vector<Finding>& findings, const std::string& ini) {
    std::string out;
    for (const Finding& f : findings) {
        out += (f.section.empty() ? ini : f.section) + (f.key.empty() ? "" : " " + f.key) + ": " + f.reason + "\n";
    }
    return out;
}

std::string FileName(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

std::string JsonReport(const std::string& media, const std::string& ini,
                       const MediaReport& report) {
    std::string out =
        "{\n  \"media\": " + JsonString(media) + ",\n  \"ini\": " + JsonString(ini) + ",\n  \"package\": ";
    const PackageSummary& p = report.package;
    if (p.path.empty()) {
        out += "null";
    } else {
        out += "{\"path\": " + JsonString(p.path) + ", \"opened\": " + (p.opened ? "true" : "false");
        if (p.opened) {
            out += ", \"ProductCode\": " + JsonString(p.productCode) +
                   ", \"ProductVersion\": " + JsonString(p.productVersion) +
                   ", \"ProductName\": " + JsonString(p.productName) +
                   ", \"Template\": " + JsonString(p.summaryTemplate) + ", \"platform\": " + JsonString(p.platform) +
                   ", \"ALLUSERS\": " + (p.allUsers ? JsonString(*p.allUsers) : "null") +
                   ", \"schema\": " + std::to_string(p.schema) + ", \"wordCount\": " + std::to_string(p.wordCount);
        }
        out += "}";
    }
    return out + ",\n" + FindingsJson(report.findings);
}

std::string TextReport(const std::string& ini, const MediaReport& report) {
    std::string out = FindingLines(report.findings, ini);
    const size_t n = report.findings.size();
    out += Format("%u finding%s in %s", static_cast<unsigned>(n), n == 1 ? "" : "s", ini.c_str());
    const PackageSummary& p = report.package;
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

// "missing, listed, ticked, installed by setup.exe", with what stops a loop there.
std::string RuleLine(const DetectedRule& rule) {
    std::string line = rule.section + " " + rule.name + ": " + rule.verdict;
    if (rule.offered) line += std::string(", listed") + (rule.ticked ? "" : ", not ticked");
    line += rule.installs ? ", installed by setup.exe" : rule.offered ? ", not installed unattended" : "";
    if (rule.asksDownload) line += ", its installer is not on the media: the download dialog";
    if (!rule.stop.empty()) line += ", an install loop stops here: " + rule.stop;
    return line + "\n";
}

std::string DetectionText(const DetectionReport& r) {
    std::string out = "Windows " + r.windows + ", " + std::to_string(r.bits) + "-bit, administrator: " +
                      (r.administrator ? "yes" : "no") + ", MinWinVersion: " + r.minimumWindows +
                      "\nCommand line: " + r.commandLine + (r.neverWait ? " (never waits for a person)" : "") +
                      "\nPrerequisites " + r.prerequisites + "\nPlan: " +
                      (r.operation.empty() ? "the run " + r.stop : r.operation) + "\n";
    for (size_t i = 0; i < r.steps.size(); ++i) out += Format("  %u. ", static_cast<unsigned>(i + 1)) + r.steps[i] + "\n";
    if (!r.operation.empty() && !r.stop.empty()) out += "  the run " + r.stop + "\n";
    for (const std::string& point : r.answerPoints) out += "  a person answers: " + point + "\n";
    for (const DetectedRule& rule : r.rules) {
        out += RuleLine(rule) + "  rule: " + rule.rule + "\n";
        for (const std::string& seen : rule.observed) out += "  observed: " + seen + "\n";
    }
    for (const DetectedRule& rule : r.postRequisites) out += RuleLine(rule);
    return out;
}

std::string RulesJson(const std::vector<DetectedRule>& rules) {
    std::string out;
    for (const DetectedRule& rule : rules) {
        out += std::string(out.empty() ? "" : ",") + "\n    {\"section\": " + JsonString(rule.section) +
               ", \"name\": " + JsonString(rule.name) + ", \"rule\": " + JsonString(rule.rule) +
               ", \"observed\": " + JsonList(rule.observed) + ", \"verdict\": " + JsonString(rule.verdict) +
               ", \"offered\": " + (rule.offered ? "true" : "false") + ", \"ticked\": " + (rule.ticked ? "true" : "false") +
               ", \"installs\": " + (rule.installs ? "true" : "false") +
               ", \"asksDownload\": " + (rule.asksDownload ? "true" : "false") +
               ", \"stop\": " + (rule.stop.empty() ? "null" : JsonString(rule.stop)) + "}";
    }
    return "[" + out + (rules.empty() ? "]" : "\n  ]");
}

std::string DetectionJson(const DetectionReport& r) {
    return "{\n  \"windows\": " + JsonString(r.windows) + ",\n  \"bits\": " + std::to_string(r.bits) +
           ",\n  \"administrator\": " + (r.administrator ? "true" : "false") +
           ",\n  \"minimumWindows\": " + JsonString(r.minimumWindows) +
           ",\n  \"commandLine\": " + JsonString(r.commandLine) +
           ",\n  \"neverWait\": " + (r.neverWait ? "true" : "false") +
           ",\n  \"prerequisites\": " + JsonString(r.prerequisites) +
           ",\n  \"plan\": {\"operation\": " + (r.operation.empty() ? "null" : JsonString(r.operation)) +
           ", \"stop\": " + (r.stop.empty() ? "null" : JsonString(r.stop)) + ", \"steps\": " + JsonList(r.steps) +
           ", \"answerPoints\": " + JsonList(r.answerPoints) + "},\n  \"rules\": " + RulesJson(r.rules) +
           ",\n  \"postRequisites\": " + RulesJson(r.postRequisites) + "\n}\n";
}

constexpr const char* kUsage =
    "usage: setupcheck MEDIA_FOLDER|PROGRAM.exe [--json]\n"
    "       setupcheck --detect MEDIA_FOLDER|PROGRAM.exe [--json] [-- SETUP_COMMAND_LINE]\n"
    "       setupcheck --deploy MEDIA_FOLDER|PROGRAM.exe [--json]\n"
    "       setupcheck --deploy intune MEDIA_FOLDER|PROGRAM.exe [--out DIR]\n"
    "       setupcheck --deploy winget MEDIA_FOLDER|PROGRAM.exe --id PUBLISHER.PRODUCT --url URL (--sha256 HEX | --zip "
    "FILE) --out DIR\n";
// Where the platform stands in for a machine of a chosen code page.
constexpr const char* kCodePageUsage = "       setupcheck MEDIA_FOLDER|PROGRAM.exe [--json] --codepage N\n";

struct Arguments {
    int media = -1;  // its index
    bool json = false, detect = false, deploy = false, wrong = false;
    DeployFormat format = DeployFormat::Definitions;
    WingetSource winget;
    std::string zip, out, codePage;
    std::string commandLine = "/i /quiet";  // the run's, for --detect
};

// A token of the run's command line, quoted when it holds a blank.
std::string Token(const std::string& arg) {
    return arg.find_first_of(" \t") == std::string::npos || arg.empty() || arg[0] == '"' ? arg : "\"" + arg + "\"";
}

Arguments Parse(const std::vector<std::string>& args) {
    Arguments a;
    std::string* const values[] = {&a.winget.id, &a.winget.url, &a.winget.sha256, &a.zip, &a.out, &a.codePage};
    const char* const names[] = {"--id", "--url", "--sha256", "--zip", "--out", "--codepage"};
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto named = std::find(std::begin(names), std::end(names), arg);
        if (arg == "--" && a.detect) {
            a.commandLine.clear();
            for (++i; i < args.size(); ++i) a.commandLine += (a.commandLine.empty() ? "" : " ") + Token(args[i]);
        } else if (arg == "--json") {
            a.json = true;
        } else if (arg == "--detect") {
            a.detect = true;
        } else if (arg == "--deploy") {
            a.deploy = true;
            const std::string next = i + 1 < args.size() ? args[i + 1] : std::string();
            if (next == "winget" || next == "intune") {
                a.format = next == "winget" ? DeployFormat::Winget : DeployFormat::Intune;
                ++i;
            }
        } else if (named != std::end(names) && i + 1 < args.size() && values[named - names]->empty()) {
            *values[named - names] = args[++i];
        } else if (a.media < 0 && !arg.empty() && arg[0] != '-') {
            a.media = static_cast<int>(i);
        } else {
            a.wrong = true;
        }
    }
    const bool winget = a.format == DeployFormat::Winget;
    const bool sources = !a.winget.id.empty() || !a.winget.url.empty() || !a.winget.sha256.empty() || !a.zip.empty();
    // The archive's digest: given, or taken from the archive written.
    const bool complete = !a.winget.id.empty() && !a.winget.url.empty() && a.winget.sha256.empty() != a.zip.empty() &&
                          !a.out.empty();
    a.wrong = a.wrong || a.media < 0 || (a.detect && a.deploy) ||
              (winget ? !complete : sources || (!a.out.empty() && a.format != DeployFormat::Intune)) ||
              (a.json && a.format != DeployFormat::Definitions) || (!a.codePage.empty() && (a.detect || a.deploy));
    return a;
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// What the package manager's schema accepts, said plainly; empty when it does.
std::string WingetSourceError(const WingetSource& s) {
    size_t parts = 0, pos = 0;
    for (; pos <= s.id.size(); ++parts) {
        const size_t end = std::min(s.id.find('.', pos), s.id.size());
        const std::string part = s.id.substr(pos, end - pos);
        if (part.empty() || part.size() > 32 || part.find_first_of(" \t\\/:*?\"<>|") != std::string::npos) parts = 9;
        pos = end + 1;
    }
    if (parts < 2 || parts > 8) {
        return "--id must be PUBLISHER.PRODUCT: two to eight parts of 1 to 32 characters, without blanks or \\/:*?\"<>|";
    }
    if (!StartsWithNoCase(s.url, "http://") && !StartsWithNoCase(s.url, "https://")) {
        return "--url must begin with http:// or https://";
    }
    if (!s.sha256.empty() && (s.sha256.size() != 64 || !std::all_of(s.sha256.begin(), s.sha256.end(), IsHex))) {
        return "--sha256 must be 64 hexadecimal digits";
    }
    return {};
}

// Whether the path lies in the folder (which ends with a backslash).
bool Inside(std::string path, const std::string& folder) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return StartsWithNoCase(path + "\\", folder);
}

CommandResult Deploy(const Arguments& a, const std::string& media, platform::Files& files,
                     platform::Installer& installer, ArchiveTools& tools) {
    CommandResult result;
    result.exitCode = 2;
    const std::string error = a.format == DeployFormat::Winget ? WingetSourceError(a.winget) : std::string();
    if (!error.empty()) {
        result.err = "setupcheck: " + error + "\n";
        return result;
    }
    MediaPlatform os(files, installer, ProgramPath(media));
    const DeploymentReport report = checker::Deploy(os, a.format);
    if (!report.readable) {
        result.err = "setupcheck: cannot read the media: no " + report.iniPath.substr(report.iniPath.rfind('\\') + 1) +
                     " in " + media + "\n";
        return result;
    }
    if (!report.deployment) {
        std::vector<Finding> errors;
        std::copy_if(report.findings.begin(), report.findings.end(), std::back_inserter(errors),
                     [](const Finding& f) { return f.severity == Severity::Error; });
        result.out = a.json ? "{\n  \"media\": " + JsonString(media) + ",\n" + FindingsJson(errors)
                            : FindingLines(errors, FileName(report.iniPath));
        result.err = "setupcheck: no deployment definitions for " + media + ": the findings above stand in the way\n";
        return result;
    }
    const Deployment& d = *report.deployment;
    // What the definitions chose, and why.
    result.err = FindingLines(report.findings, FileName(report.iniPath));
    if (a.out.empty()) {
        result.out = a.format == DeployFormat::Intune ? IntuneJson(d) : a.json ? DefinitionsJson(media, d) : DefinitionsText(d);
        result.exitCode = 0;
        return result;
    }
    const std::string folder = ProgramFolder(ProgramPath(media));
    if ((a.format == DeployFormat::Intune || !a.zip.empty()) && !tools.WritesArchives()) {
        result.err += "setupcheck: this setupcheck writes no archives: the content package and --zip need the Linux "
                      "setupcheck (dist/linux/setupcheck)\n";
        return result;
    }
    if (Inside(a.out, folder) || (!a.zip.empty() && Inside(a.zip, folder))) {
        result.err += "setupcheck: --out and --zip must lie outside the media folder, which is archived whole\n";
        return result;
    }
    if (!tools.MakeFolders(a.out)) {
        result.err += "setupcheck: cannot make the folder " + a.out + "\n";
        return result;
    }
    std::vector<DeploymentFile> written;
    std::string archive;
    WingetSource source = a.winget;
    ContentPackage content;
    if (a.format == DeployFormat::Winget && !a.zip.empty()) {
        if (!MediaArchive(tools, folder, &archive) || !files.Write(a.zip, archive)) {
            result.err += "setupcheck: cannot archive the media in " + a.zip + "\n";
            return result;
        }
        source.sha256 = Sha256Hex(archive);
        result.out = "wrote " + a.zip + ", SHA-256 " + source.sha256 + "\n";
    }
    if (a.format == DeployFormat::Winget) {
        written = WingetManifests(d, source);
    } else if (IntuneContent(tools, folder, d, &content)) {
        written = {{"app.json", IntuneJson(d)},
                   {ContentFileName(d), std::move(content.package)},
                   {"content.json", content.upload}};
    } else {
        result.err += "setupcheck: cannot make the content package of " + media + "\n";
        return result;
    }
    std::string names;
    for (const DeploymentFile& file : written) {
        if (!files.Write(a.out + "\\" + file.name, file.text)) {
            result.err += "setupcheck: cannot write " + file.name + " in " + a.out + "\n";
            return result;
        }
        names += (names.empty() ? "" : ", ") + file.name;
    }
    result.out += "wrote " + names + " to " + a.out + "\n";
    if (a.format == DeployFormat::Winget) {
        result.out += "review before publishing: License says \"Proprietary\", ShortDescription the name and version\n";
    }
    result.exitCode = 0;
    return result;
}

}  // namespace

int MediaArgument(const std::vector<std::string>& args) { return Parse(args).media; }

CommandResult RunSetupCheck(const std::vector<std::string>& args, platform::Files& files,
                            platform::Installer& installer, ArchiveTools& archives, platform::Platform* machine,
                            CodePageReadings* readings) {
    CommandResult result;
    const Arguments a = Parse(args);
    if (a.wrong || (!a.codePage.empty() && readings == nullptr)) {
        result.err = std::string(kUsage) + (readings != nullptr ? kCodePageUsage : "");
        result.exitCode = 2;
        return result;
    }
    if (!a.codePage.empty()) {
        const bool number = a.codePage.size() <= 5 && a.codePage.find_first_not_of("0123456789") == std::string::npos;
        if (!number || !readings->UseCodePage(static_cast<uint32_t>(std::stoul(a.codePage)))) {
            std::string known;
            for (const uint32_t page : readings->CodePages()) known += (known.empty() ? "" : ", ") + std::to_string(page);
            result.err = "setupcheck: no table for code page " + a.codePage + "; --codepage takes " + known + "\n";
            result.exitCode = 2;
            return result;
        }
    }
    const std::string& media = args[a.media];
    const bool json = a.json;
    if (a.deploy) return Deploy(a, media, files, installer, archives);
    if (a.detect) {
        if (machine == nullptr) {
            result.err = "setupcheck: --detect reads this machine's registry and files: run it on Windows\n";
            result.exitCode = 2;
            return result;
        }
        MachinePlatform os(*machine, ProgramPath(media));
        const DetectionReport report = Detect(os, a.commandLine);
        if (!report.readable) {
            result.err = "setupcheck: cannot read the media: no configuration file in " + media + "\n";
            result.exitCode = 2;
            return result;
        }
        result.out = json ? DetectionJson(report) : DetectionText(report);
        return result;
    }

    MediaPlatform os(files, installer, ProgramPath(media));
    const MediaReport report = CheckMedia(os, readings);
    const std::string ini = FileName(report.iniPath);
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
