#include "checker/deployment.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "config/configuration.h"
#include "diagnostics/text_format.h"
#include "driver/host_checks.h"

namespace setup::checker {

const ReturnCode kReturnCodes[7] = {
    {0, "success", "installed, upgraded, repaired or patched", nullptr},
    {1602, "failed", "cancelled by the user", "cancelledByUser"},
    {1618, "retry", "another installation is in progress: try again later", "installInProgress"},
    {1638, "failed", "another version is installed (newer, or older and UpdateDisable=1): nothing changed", "downgrade"},
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

// The Windows architectures that run a program or package for one.
std::vector<std::string> RunsOn(const std::string& architecture) {
    if (EqualsNoCase(architecture, "x86") || EqualsNoCase(architecture, "Intel")) return {"x86", "x64", "arm64"};
    if (EqualsNoCase(architecture, "x64") || EqualsNoCase(architecture, "Arm64")) {
        return {EqualsNoCase(architecture, "x64") ? "x64" : "arm64"};
    }
    return {};
}

// A property as MsiProp sets it for the installer (NAME=value or
// NAME="value"); none when it does not.
std::optional<std::string> PublicProperty(const std::string& properties, const std::string& name) {
    const std::string text = " " + properties, key = " " + name + "=";
    for (size_t at = 0; at + key.size() <= text.size(); ++at) {
        if (!EqualsNoCase(text.substr(at, key.size()), key)) continue;
        const size_t value = at + key.size();
        if (value < text.size() && text[value] == '"') return text.substr(value + 1, text.find('"', value + 1) - value - 1);
        return text.substr(value, text.find_first_of(" \t", value) - value);
    }
    return std::nullopt;
}

// The installation context, from ALLUSERS and MSIINSTALLPERUSER as MsiProp
// or the package sets them.
void ChooseScope(const MainSettings& main, const platform::PackageInfo& info, Deployment* d,
                 std::vector<Finding>* findings) {
    const std::optional<std::string> set = PublicProperty(main.MsiProp, "ALLUSERS");
    const std::string allUsers = set.value_or(info.allUsers.value_or(""));
    const std::string perUser =
        PublicProperty(main.MsiProp, "MSIINSTALLPERUSER").value_or(info.msiInstallPerUser.value_or(""));
    const std::string written = info.allUsers.value_or("");
    d->packageType = written.empty() ? "perUser" : written == "2" ? "dualPurpose" : "perMachine";
    d->perUser = allUsers.empty() || (allUsers == "2" && perUser == "1");
    const std::string asUser =
        ": the engines install it as the signed-in user, who must be an administrator: setup.exe asks for "
        "administrator rights";
    std::string reason;
    if (allUsers.empty()) {
        reason = "the product installs per user (no ALLUSERS)" + asUser;
    } else if (allUsers == "2" && d->perUser) {
        reason = "the product is dual-purpose (ALLUSERS=2) and MSIINSTALLPERUSER=1 installs it per user" + asUser;
    } else if (allUsers == "2") {
        // Windows Installer 5 installs it per machine for an administrator.
        reason = "the product is dual-purpose (ALLUSERS=2): setup.exe runs with administrator rights, so it installs "
                 "per machine and the engines install it as the system (MSIINSTALLPERUSER=1 would install it per "
                 "user)";
    }
    if (!reason.empty()) findings->push_back({kMainSection, set ? "MsiProp" : "MsiPath", reason, Severity::Warning});
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
    const ProgramImage image = ReadProgramImage(media.files(), modulePath);
    const std::string machine =
        image.machine == 0x14C ? "x86" : image.machine == 0x8664 ? "x64" : image.machine == 0xAA64 ? "Arm64" : "";
    if (!image.program) {
        r.findings.push_back({d.program, "", "not found, or no Windows program: the definitions take the Windows "
                                             "architectures from it"});
    } else if (machine.empty()) {
        r.findings.push_back({d.program, "", Format("a program for machine 0x%04X: the definitions know x86, x64 and "
                                                    "Arm64 programs",
                                                    static_cast<unsigned>(image.machine))});
    }
    std::string platform = "Intel";  // a patch's products may be any
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
        d.upgradeCode = info.upgradeCode.value_or("");
        if (d.publisher.empty()) fail("MsiPath", "the package has no Manufacturer: the definitions name the publisher");
        const std::string written = PackagePlatform(info.summaryTemplate.value_or(""));
        if (!written.empty()) platform = written;
        if (RunsOn(platform).empty()) {
            fail("MsiPath", "the package is for " + Quoted(platform) + ": the definitions know Intel, x64 and Arm64");
        }
        ChooseScope(main, info, &d, &r.findings);
    }
    // Where both the program and the package run.
    const std::vector<std::string> programRuns = RunsOn(machine), packageRuns = RunsOn(platform);
    for (const std::string& architecture : packageRuns) {
        if (std::find(programRuns.begin(), programRuns.end(), architecture) != programRuns.end()) {
            d.architectures.push_back(architecture);
        }
    }
    const bool known = !programRuns.empty() && !packageRuns.empty();
    if (known && d.architectures.empty()) {
        fail("MsiPath", "the package is for " + platform + ", but " + d.program + " is an " + machine +
                            " program: no Windows runs the media");
    }
    if (known && main.Os32Need != 0) {
        if (packageRuns.front() != "x86") {
            fail("Os32Need", "32-bit x86 Windows only, but the package is for " + packageRuns.front() +
                                 ": no Windows runs the media");
        } else if (programRuns.front() != "x86") {
            fail("Os32Need", "32-bit x86 Windows only, but " + d.program + " is an " + machine +
                                 " program: no Windows runs the media");
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
    if (std::none_of(r.findings.begin(), r.findings.end(),
                     [](const Finding& f) { return f.severity == Severity::Error; })) {
        r.deployment = d;
    }
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
                      (d.administrator ? "administrator rights" : "no administrator rights") +
                      (d.patch ? "" : d.perUser ? "\nscope:        per user: as the signed-in user"
                                                : "\nscope:        per machine: as the system") +
                      "\nreturn codes:\n";
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
           ", \"administrator\": " + (d.administrator ? "true" : "false") + "},\n  \"scope\": " +
           (d.patch ? "null" : d.perUser ? "\"user\"" : "\"machine\"") + ",\n  \"returnCodes\": [";
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
        ",\n  \"fileName\": " + JsonString(ContentFileName(d)) +
        ",\n  \"setupFilePath\": " + JsonString(d.program) + ",\n  \"installCommandLine\": " + JsonString(d.install) +
        ",\n  \"uninstallCommandLine\": " + JsonString(d.uninstall) +
        ",\n  \"applicableArchitectures\": " + JsonString(architectures) +
        // The earliest release the service manages; any MinWinVersion up to 10.0 holds there.
        ",\n  \"minimumSupportedWindowsRelease\": \"1607\""
        ",\n  \"rules\": [\n    {\"@odata.type\": \"#microsoft.graph.win32LobAppProductCodeRule\", \"ruleType\": "
        "\"detection\", \"productCode\": " +
        JsonString(d.code) + ", \"productVersionOperator\": \"greaterThanOrEqual\", \"productVersion\": " +
        JsonString(d.version) +
        "}\n  ],\n  \"msiInformation\": {\"@odata.type\": \"#microsoft.graph.win32LobAppMsiInformation\", "
        "\"productCode\": " +
        JsonString(d.code) + ", \"productVersion\": " + JsonString(d.version) +
        ", \"upgradeCode\": " + JsonOrNull(d.upgradeCode) + ", \"requiresReboot\": false, \"packageType\": " +
        JsonString(d.packageType) + ", \"productName\": " + JsonString(d.name) + ", \"publisher\": " +
        JsonString(d.publisher) + "},\n  \"installExperience\": {\"runAsAccount\": " +
        (d.perUser ? "\"user\"" : "\"system\"") +
        ", \"deviceRestartBehavior\": \"basedOnReturnCode\"},\n  \"returnCodes\": [";
    for (const ReturnCode& c : kReturnCodes) {
        out += Format("%s\n    {\"returnCode\": %d, \"type\": \"%s\"}", c.code == 0 ? "" : ",", c.code, c.type);
    }
    return out + "\n  ]\n}\n";
}

std::string ContentFileName(const Deployment& d) { return d.program.substr(0, d.program.rfind('.')) + ".intunewin"; }

std::vector<DeploymentFile> WingetManifests(const Deployment& d, const WingetSource& source) {
    // YAML takes JSON's string literals as its double-quoted scalars.
    const std::string head = "PackageIdentifier: " + JsonString(source.id) + "\nPackageVersion: " + JsonString(d.version) + "\n";
    const auto file = [&](const std::string& suffix, const std::string& type, const std::string& body) {
        return DeploymentFile{source.id + suffix, "# yaml-language-server: $schema=https://aka.ms/winget-manifest." + type +
                                                    "." + kWingetManifestVersion + ".schema.json\n" + head + body +
                                                    "ManifestType: " + type + "\nManifestVersion: " +
                                                    kWingetManifestVersion + "\n"};
    };
    // The package manager hands switches over as written, expanding nothing:
    // the record opts into the deployment exit codes and goes nowhere.
    std::string installer = "InstallerType: zip\nNestedInstallerType: exe\nNestedInstallerFiles:\n- RelativeFilePath: " +
                            JsonString(d.program) + "\nScope: " + (d.perUser ? "user" : "machine") + "\n";
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
