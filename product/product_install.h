// Hands the main package to the Windows Installer: install, upgrade of an
// older version, administrative install or patch.
#pragma once

#include <cstdint>
#include <string>

#include "product/msi_library.h"

namespace setup {

struct Session;

// Installs, upgrades, administratively installs or patches the product and
// returns the result code; `restart` is set only by the prerequisites stage
// that runs before an upgrade.
uint32_t BSInstall(Session& session, bool& restart);

// The caption of the setup's questions: "%s Update" with Name for a patch,
// "%s (%s) Setup" with the package's name and version for a product.
std::string SetupCaption(Session& session, bool forPatch);

// The installer calls, made inside a structured-exception guard: a hardware
// exception is logged and gives 1603.
uint32_t GuardedInstallProduct(Session& session, platform::InstallerLibrary& msi,
                               const std::string& commandLine);
uint32_t GuardedApplyPatch(Session& session, platform::InstallerLibrary& msi,
                           const std::string& patch, const std::string* installPackage,
                           int installType, const std::string& commandLine);

constexpr uint32_t kInstallerLogMode = 0x1FDF;
constexpr uint32_t kInstallerLogAppend = 1;
constexpr int kUiLevelBasic = 3;
constexpr int kInstallTypeDefault = 0;
constexpr int kInstallTypeNetworkImage = 1;

}  // namespace setup
