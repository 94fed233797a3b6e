#include "checker/deployment.h"

#include <cctype>
#include <memory>

#include "config/configuration.h"
#include "diagnostics/text_format.h"
#include "driver/host_checks.h"

namespace setup::checker {

const ReturnCode kReturnCodes[6] = {
    {0, "success", "installed, upgraded, repaired or patched", nullptr},
    {1602, "failed", "cancelled by the user", "cancelledByUser"},
    {1618, "retry", "another installation is in progress: try again later", "installInProgress"},
    {1641, "hardReboot", "done, and the restart was started", "rebootInitiated"},
    {3010, "softReboot", "done; a restart is needed and was not started", "rebootRequiredToFinish"},
    {3, "failed", "failed: the setup log says why", nullptr},
};

namespace {

constexpr const char* kWingetManifestVersion = "1.28.0";

bool IsGuid(const std::string& text) {
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
    for (size_t i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
}

// A name for a file in the temporary folder: what no file name may hold,
// "%" (which engines expand) and bytes beyond ASCII become "_".
std::string FileNamePart(std::string name) {
    for (char& c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x80 || std::string("\\/:*?\"<>|%").find(c) != std::string::npos) c = '_';
    }
    return name;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string JsonList(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : ", ") + JsonString(item);
    return "[" + out + "]";
}

std::string JsonOrNull(const std::string& text) { return text.empty() ? "null" : JsonString(text); }

// "a", "a or b", "a, b or c".
std::string Either(const std::vector<std::string>& items) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) text += (i == 0 ? "" : i + 1 == items.size() ? " or " : ", ") + items[i];
    return text;
}

// The installer's summary Template of a patch lists the products it applies to.
std::vector<std::string> ProductCodes(const std::string& list) {
    std::vector<std::string> codes;
    for (size_t pos = 0; pos <= list.size();) {
        const size_t end = std::min(list.find(';', pos), list.size());
        if (IsGuid(list.substr(pos, end - pos))) codes.push_back(list.substr(pos, end - pos));
        pos = end + 1;
    }
    return codes;
}

const char* FormatName(DeployFormat format) { return format == DeployFormat::Winget ? "winget" : "intune"; }

}  // namespace

DeploymentReport Deploy(platform::Platform& media, DeployFormat format) {
    DeploymentReport r;
    const MediaReport check = CheckMedia(media);
    r.iniPath = check.iniPath;
    r.readable = check.readable;
    for (const Finding& f : check.findings) {
        if (f.severity == Severity::Error) r.findings.push_back(f);
    }
    if (!r.readable || !r.findings.empty()) return r;

    const auto fail = [&](const char* key, const std::string& reason) { r.findings.push_back({kMainSection, key, reason}); };
    const std::string modulePath = media.files().ModulePath(), folder = ProgramFolder(modulePath);
    const MainSettings main = ReadMainSettings(IniFile(media.files(), r.iniPath));
    const std::unique_ptr<platform::InstallerLibrary> msi = media.installer().Bind();
    const platform::PackageInfo info =
        msi->IsComplete() ? msi->ReadPackage(folder + main.MsiPath) : platform::PackageInfo();
    Deployment d;
    d.patch = main.MsiPatch != 0;
    d.program = modulePath.substr(folder.size());
    d.administrator = main.AdminNeed != 0;
    d.architectures = {"x86", "x64", "arm64"};  // an x86 program's
    if (d.patch) {
        const std::string file = main.MsiPath.substr(main.MsiPath.find_last_of("\\/") + 1);
        d.name = main.Name.empty() ? file.substr(0, file.rfind('.')) : main.Name;
        d.version = main.VersionTarget;
        d.code = info.revisionNumber.value_or("").substr(0, 38);
        d.targets = ProductCodes(info.summaryTemplate.value_or(""));
        if (!info.opened) {
            fail("MsiPath", main.MsiPath + " does not open as a patch");
        } else if (!IsGuid(d.code)) {
            fail("MsiPath", "the patch's summary has no revision number that begins with its patch code (a GUID)");
        } else if (d.targets.empty()) {
            fail("MsiPath", "the patch's summary Template names no product code that it applies to "
                            "(setupcheck reads 63 characters of it)");
        }
        if (format != DeployFormat::Definitions) {
            fail("MsiPatch", Format("the %s definitions describe a product, which a patch is not", FormatName(format)));
        }
    } else {
        d.name = info.productName.value_or("");
        d.version = info.productVersion.value_or("");
        d.code = info.productCode.value_or("");
        d.publisher = info.manufacturer.value_or("");
        if (d.publisher.empty()) fail("MsiPath", "the package has no Manufacturer: the definitions name the publisher");
        const std::string platform = PackagePlatform(info.summaryTemplate.value_or(""));
        if (EqualsNoCase(platform, "x64") || EqualsNoCase(platform, "Arm64")) {
            d.architectures = {EqualsNoCase(platform, "x64") ? "x64" : "arm64"};
        } else if (!platform.empty() && !EqualsNoCase(platform, "Intel")) {
            fail("MsiPath", "the package is for " + Quoted(platform) + ": the definitions know Intel, x64 and Arm64");
        }
    }
    if (main.Os32Need != 0) {
        if (d.architectures.front() != "x86") {
            fail("Os32Need", "32-bit x86 Windows only, but the package is for " + d.architectures.front() +
                                 ": no Windows runs the media");
        }
        d.architectures = {"x86"};
    }
    if (format == DeployFormat::Intune && d.architectures == std::vector<std::string>{"arm64"}) {
        fail("MsiPath", "the package is for Arm64, which the Win32 app's applicableArchitectures cannot name");
    }
    const MinimumWindows minimum = ParseMinimumWindows(main);
    if (minimum.set) {
        d.minimumWindows = Format("%u.%u", minimum.major, minimum.minor);
        if (minimum.major > 10 || (minimum.major == 10 && minimum.minor > 0)) {
            fail("MinWinVersion", d.minimumWindows +
                                      " is above 10.0, the version Windows 10 and 11 report: setup.exe refuses every "
                                      "Windows");
        }
        if (!main.MinWinServicePack.empty()) {
            d.servicePack = minimum.spMinor != 0 ? Format("%u.%u", unsigned{minimum.spMajor}, unsigned{minimum.spMinor})
                                                 : Format("%u", unsigned{minimum.spMajor});
        }
    }
    const std::string program = d.program.find(' ') != std::string::npos ? Quoted(d.program) : d.program;
    d.install = program + " /i /quiet /norestart /record " + Quoted("%TEMP%\\" + FileNamePart(d.name) + "-setup.json");
    if (!d.patch) d.uninstall = "msiexec.exe /x " + d.code + " /qn /norestart";
    if (r.findings.empty()) r.deployment = d;
    return r;
}

std::string DefinitionsText(const Deployment& d) {
    std::string out = d.name + (d.version.empty() ? "" : " " + d.version) +
                      (d.patch ? ": a patch, its code " + d.code : (d.publisher.empty() ? "" : " by " + d.publisher) + ": a product") +
                      "\ninstall:      " + d.install +
                      "\nuninstall:    " + (d.patch ? "none: a patch goes with its product" : d.uninstall) +
                      "\ndetection:    " +
                      (d.patch ? "the patch " + d.code + " applied to " + Either(d.targets)
                               : "ProductCode " + d.code + " installed, ProductVersion " + d.version + " or later") +
                      "\nrequirements: " +
                      (d.minimumWindows.empty() ? "any Windows"
                                                : "Windows " + d.minimumWindows +
                                                      (d.servicePack.empty() ? "" : " Service Pack " + d.servicePack) +
                                                      " or later") +
                      "; " + Either(d.architectures) + "; " +
                      (d.administrator ? "administrator rights" : "no administrator rights") + "\nreturn codes:\n";
    for (const ReturnCode& c : kReturnCodes) out += Format("  %-5d %-11s %s\n", c.code, c.type, c.meaning);
    return out;
}

std::string DefinitionsJson(const std::string& media, const Deployment& d) {
    std::string out = "{\n  \"media\": " + JsonString(media) + ",\n  \"kind\": " + (d.patch ? "\"patch\"" : "\"product\"") +
                      ",\n  \"name\": " + JsonString(d.name) + ",\n  \"version\": " + JsonOrNull(d.version) +
                      ",\n  \"publisher\": " + JsonOrNull(d.publisher) + ",\n  \"install\": " + JsonString(d.install) +
                      ",\n  \"uninstall\": " + JsonOrNull(d.uninstall) + ",\n  \"detection\": ";
    out += d.patch ? "{\"patchCode\": " + JsonString(d.code) + ", \"productCodes\": " + JsonList(d.targets) + "}"
                   : "{\"productCode\": " + JsonString(d.code) + ", \"productVersion\": " + JsonString(d.version) +
                         ", \"operator\": \"greaterThanOrEqual\"}";
    out += ",\n  \"requirements\": {\"minimumWindows\": " + JsonOrNull(d.minimumWindows) +
           ", \"servicePack\": " + JsonOrNull(d.servicePack) + ", \"architectures\": " + JsonList(d.architectures) +
           ", \"administrator\": " + (d.administrator ? "true" : "false") + "},\n  \"returnCodes\": [";
    for (const ReturnCode& c : kReturnCodes) {
        out += Format("%s\n    {\"code\": %d, \"type\": \"%s\", \"meaning\": ", c.code == 0 ? "" : ",", c.code, c.type) +
               JsonString(c.meaning) + "}";
    }
    return out + "\n  ]\n}\n";
}

std::string IntuneJson(const Deployment& d) {
    std::string architectures;
    for (const std::string& a : d.architectures) {
        if (a != "arm64") architectures += (architectures.empty() ? "" : ",") + a;
    }
    std::string out =
        "{\n  \"@odata.type\": \"#microsoft.graph.win32LobApp\",\n  \"displayName\": " + JsonString(d.name) +
        ",\n  \"description\": " + JsonString(d.name + " " + d.version) + ",\n  \"publisher\": " + JsonString(d.publisher) +
        ",\n  \"fileName\": " + JsonString(d.program.substr(0, d.program.rfind('.')) + ".intunewin") +
        ",\n  \"setupFilePath\": " + JsonString(d.program) + ",\n  \"installCommandLine\": " + JsonString(d.install) +
        ",\n  \"uninstallCommandLine\": " + JsonString(d.uninstall) +
        ",\n  \"applicableArchitectures\": " + JsonString(architectures) +
        // The earliest release the service manages; any MinWinVersion up to 10.0 holds there.
        ",\n  \"minimumSupportedWindowsRelease\": \"1607\""
        ",\n  \"rules\": [\n    {\"@odata.type\": \"#microsoft.graph.win32LobAppProductCodeRule\", \"ruleType\": "
        "\"detection\", \"productCode\": " +
        JsonString(d.code) + ", \"productVersionOperator\": \"greaterThanOrEqual\", \"productVersion\": " +
        JsonString(d.version) +
        "}\n  ],\n  \"installExperience\": {\"runAsAccount\": \"system\", \"deviceRestartBehavior\": "
        "\"basedOnReturnCode\"},\n  \"returnCodes\": [";
    for (const ReturnCode& c : kReturnCodes) {
        out += Format("%s\n    {\"returnCode\": %d, \"type\": \"%s\"}", c.code == 0 ? "" : ",", c.code, c.type);
    }
    return out + "\n  ]\n}\n";
}

std::vector<ManifestFile> WingetManifests(const Deployment& d, const WingetSource& source) {
    // YAML takes JSON's string literals as its double-quoted scalars.
    const std::string head = "PackageIdentifier: " + JsonString(source.id) + "\nPackageVersion: " + JsonString(d.version) + "\n";
    const auto file = [&](const std::string& suffix, const std::string& type, const std::string& body) {
        return ManifestFile{source.id + suffix, "# yaml-language-server: $schema=https://aka.ms/winget-manifest." + type +
                                                    "." + kWingetManifestVersion + ".schema.json\n" + head + body +
                                                    "ManifestType: " + type + "\nManifestVersion: " +
                                                    kWingetManifestVersion + "\n"};
    };
    // The package manager hands switches over as written, expanding nothing:
    // the record opts into the deployment exit codes and goes nowhere.
    std::string installer = "InstallerType: zip\nNestedInstallerType: exe\nNestedInstallerFiles:\n- RelativeFilePath: " +
                            JsonString(d.program) + "\n";
    if (!d.minimumWindows.empty()) installer += "MinimumOSVersion: " + JsonString(d.minimumWindows + ".0.0") + "\n";
    installer += "InstallModes:\n- interactive\n- silent\n- silentWithProgress\nInstallerSwitches:\n"
                 "  Silent: \"/i /quiet /norestart /record NUL\"\n"
                 "  SilentWithProgress: \"/i /passive /norestart /record NUL\"\n"
                 "  Interactive: \"/i\"\n"
                 // Everything after /log is the log's path: the package manager puts it last.
                 "  Log: \"/log \\\"<LOGPATH>\\\"\"\nExpectedReturnCodes:\n";
    for (const ReturnCode& c : kReturnCodes) {
        if (c.wingetResponse != nullptr) {
            installer += Format("- InstallerReturnCode: %d\n  ReturnResponse: %s\n", c.code, c.wingetResponse);
        }
    }
    installer += "UpgradeBehavior: install\nProductCode: " + JsonString(d.code) +
                 "\nElevationRequirement: elevatesSelf\nAppsAndFeaturesEntries:\n- ProductCode: " + JsonString(d.code) +
                 "\n  InstallerType: msi\nInstallers:\n- Architecture: " + d.architectures.front() + "\n";
    if (d.architectures == std::vector<std::string>{"x86"}) {
        installer += "  UnsupportedOSArchitectures:\n  - x64\n  - arm\n  - arm64\n";  // Os32Need
    }
    installer += "  InstallerUrl: " + JsonString(source.url) + "\n  InstallerSha256: " + JsonString(source.sha256) + "\n";
    const std::string locale = "PackageLocale: en-US\nPublisher: " + JsonString(d.publisher) +
                               "\nPackageName: " + JsonString(d.name) + "\nLicense: \"Proprietary\"\nShortDescription: " +
                               JsonString(d.name + " " + d.version) + "\n";
    return {file(".yaml", "version", "DefaultLocale: en-US\n"), file(".installer.yaml", "installer", installer),
            file(".locale.en-US.yaml", "defaultLocale", locale)};
}

}  // namespace setup::checker
