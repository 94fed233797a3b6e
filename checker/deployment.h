// Deployment definitions from the media alone: how a deployment engine
// installs the product unattended, finds it installed, where it may run,
// and how it reads the run's exit codes. They describe the unattended run
// with /norestart and /record, which never restarts the machine, never
// waits for a person and ends with the deployment exit codes (1618, 1641,
// 3010). Media that the checker finds faulty get no definitions.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "checker/media_check.h"
#include "platform/platform.h"

namespace setup::checker {

// An exit code of that run and how the engines name it.
struct ReturnCode {
    int code;
    const char* type;            // the device-management API's returnCode type
    const char* meaning;
    const char* wingetResponse;  // the package manager's reading; null: its own (0 success, else failure)
};
extern const ReturnCode kReturnCodes[7];

struct Deployment {
    bool patch = false;
    std::string program;                  // the media's program, "setup.exe"
    std::string name, version, publisher;  // a patch: its Name and VersionTarget, no publisher
    std::string code;                     // the ProductCode, or the patch's code
    std::vector<std::string> targets;     // the product codes a patch applies to
    std::string install, uninstall;       // no uninstall command for a patch
    std::string minimumWindows, servicePack;  // "6.1" and "1"; empty when not asked for
    std::vector<std::string> architectures;   // of Windows: x86, x64, arm64
    bool administrator = true;
    std::string upgradeCode;              // empty when the package has none
    std::string packageType;              // as written: perMachine, perUser or dualPurpose
    bool perUser = false;                 // installed per user: as the signed-in user, not the system
};

enum class DeployFormat { Definitions, Winget, Intune };

struct DeploymentReport {
    std::string iniPath;
    bool readable = false;          // false: no configuration file beside the program
    std::vector<Finding> findings;  // errors: why there are no definitions; warnings: what they chose
    std::optional<Deployment> deployment;
};

// `media`'s module path is the program in the media.
DeploymentReport Deploy(platform::Platform& media, DeployFormat format);

std::string DefinitionsText(const Deployment& d);
std::string DefinitionsJson(const std::string& media, const Deployment& d);
// The body of a Win32 app for the device-management API (v1.0), and the
// name of its content file.
std::string IntuneJson(const Deployment& d);
std::string ContentFileName(const Deployment& d);

// The package manager's three manifests for the media published as a zip
// archive with the program at its top.
struct WingetSource {
    std::string id, url, sha256;
};
struct DeploymentFile {
    std::string name, text;
};
std::vector<DeploymentFile> WingetManifests(const Deployment& d, const WingetSource& source);

}  // namespace setup::checker
