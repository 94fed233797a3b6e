// Hands the main package to the Windows Installer: install, upgrade of an
// older version, administrative install or patch. What is handed over is
// decided beforehand; these are the calls and what the log says of them.
#pragma once

#include <cstdint>
#include <string>

#include "config/configuration.h"
#include "diagnostics/services.h"
#include "product/package.h"

namespace setup {

// One installing call.
struct InstallerCall {
    bool patch = false;        // MsiApplyPatch, else MsiInstallProduct
    std::string package;       // the package's or patch's full path
    std::string commandLine;
    std::string adminTarget;   // a patch applied to an administrative image
    int patchUiLevel = 3;      // the installer's own interface while it patches
};

// Announces the call, hands the setup log over to the installer and calls
// it. The result is the installer's, or 1603 for a hardware exception
// inside it.
uint32_t CallInstaller(Services& services, const InstallerCall& call);

// Logs the question and asks it at the full level; true for Yes. An
// unattended run goes on (and logs that it does).
bool AskedYes(Services& services, const std::string& question, const std::string& caption);

// The caption of the setup's questions: "%s Update" with Name for a patch,
// "%s (%s) Setup" with the package's name and version for a product.
std::string SetupCaption(StringTable& strings, const MainSettings& main, const PackageFacts& package,
                         bool forPatch);

constexpr uint32_t kInstallerLogMode = 0x1FDF;
constexpr uint32_t kInstallerLogAppend = 1;
constexpr int kUiLevelBasic = 3;
constexpr int kInstallTypeDefault = 0;
constexpr int kInstallTypeNetworkImage = 1;

}  // namespace setup
