// The state of one run.
#pragma once

#include <cstdint>
#include <string>

namespace setup {

enum class RunMode { Install, ShowUsage, AdminInstall };

// The Windows Installer user-interface level of the run. Only Full shows
// the run's questions, dialogs and message boxes.
enum class UiLevel : int { Full = 5, Quiet = 2, Passive = 67 };

struct SetupContext {
    RunMode mode = RunMode::Install;
    int32_t isPatch = 0;
    std::string msiType;
    std::string adminTarget;
    bool minorUpdate = false;
    std::string packagePath;
    std::string properties;
    UiLevel uiLevel = UiLevel::Full;
    uint32_t languageId = 0;
    std::string transforms;
    std::string logPath;
    std::string reinstallMode;
};

}  // namespace setup
