// The state of one run: what the command line and the run's stages decided.
#pragma once

#include <cstdint>
#include <string>

namespace setup {

enum class RunMode { Install, ShowUsage, AdminInstall };

struct SetupContext {
    RunMode mode = RunMode::Install;
    bool isPatch = false;
    std::string adminTarget;
    std::string packagePath;  // the package's full path
    std::string properties;   // public properties for the installer
    uint32_t languageId = 0;
    std::string transforms;   // the language transform's path, or empty
    std::string logPath;
};

}  // namespace setup
