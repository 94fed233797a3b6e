// Hands the main package to the Windows Installer: install, upgrade of an
// older version, administrative install or patch.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "config/configuration.h"
#include "config/setup_context.h"
#include "diagnostics/services.h"
#include "product/package_properties.h"

namespace setup {

// What the product installation works with.
struct ProductRun {
    Services& services;
    const MainSettings& main;
    SetupContext& ctx;
    const PackageProperties& package;
    // The prerequisites stage, run before an older version is upgraded;
    // false when the run must not go on, with `tampered` set when an
    // installer did not match its digest. Sets `restart` when a component
    // asked for one.
    std::function<bool(bool& restart, bool& tampered)> prerequisites;
    // Set when the installer got the run's properties (with their
    // TRANSFORMS clause), not an upgrade's or an administrative line.
    bool propertiesHandedOver = false;
};

// Installs, upgrades, administratively installs or patches the product and
// returns the result code; `restart` is set only by the prerequisites stage
// that runs before an upgrade.
uint32_t BSInstall(ProductRun& run, bool& restart);

// The caption of the setup's questions: "%s Update" with Name for a patch,
// "%s (%s) Setup" with the package's name and version for a product.
std::string SetupCaption(StringTable& strings, const MainSettings& main,
                         const PackageProperties& package, bool forPatch);

constexpr uint32_t kInstallerLogMode = 0x1FDF;
constexpr uint32_t kInstallerLogAppend = 1;
constexpr int kUiLevelBasic = 3;
constexpr int kInstallTypeDefault = 0;
constexpr int kInstallTypeNetworkImage = 1;

}  // namespace setup
