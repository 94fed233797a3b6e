// The configuration file beside the program (its own path with ".ini"),
// read through the initialization-file functions and never written. The
// [Main] keys are read once into plain data; every key has a default.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace setup {

constexpr const char* kMainSection = "Main";

// With `withoutExtension`: the program's path without its last "." and what
// follows. Otherwise its folder, with a trailing "\" when `appendBackslash`.
std::string GetModulePath(platform::Platform& os, bool withoutExtension, bool appendBackslash);
std::string GetIniPath(platform::Platform& os);

std::string GetIniString(platform::Platform& os, const std::string& section,
                         const std::string& key, const std::string& fallback = std::string());
int GetIniInt(platform::Platform& os, const std::string& section, const std::string& key,
              int fallback);
// -1 when no line of the section begins with "Optional"; otherwise the
// key's integer value.
int GetIniIntIfPresent(platform::Platform& os, const std::string& section,
                       const std::string& key, int fallback);

// Replaces "#System#", "#CommonProgramFiles#" and "#Root#" in a path.
void ReplacePathMacros(platform::Platform& os, std::string& text);

// The [Main] section.
struct MainSettings {
    std::string MsiPath;
    int32_t MsiPatch = 0;
    std::string MsiType;  // "Install", or "Major" for a patch, when absent
    std::string MsiProp;
    int32_t Os32Need = 0;
    int32_t AdminNeed = 1;
    std::string Name;
    std::string VersionTarget;
    int32_t UpdateDisable = 0;
    std::string DefaultReinstallmode;
    int32_t LangId = 0;
    std::string MinWinVersion;
    std::string MinWinServicePack;
    std::string MinWinMessage;
    std::string SendErrorLogTo;
    std::string Sha256;  // of the package; empty: not checked
};

MainSettings ReadMainSettings(platform::Platform& os);

}  // namespace setup
