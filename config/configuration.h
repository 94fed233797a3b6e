// The configuration file beside the program (its own path with ".ini"),
// read through the initialization-file functions and never written. The
// [Main] keys are read once into plain data; every key has a default
// (config/schema.h). This layer only turns text into data: what the
// machine says (its folders, the registry) comes from the probes.
#pragma once

#include <cstdint>
#include <string>

#include "config/schema.h"
#include "platform/platform.h"

namespace setup {

constexpr const char* kMainSection = "Main";

// With `withoutExtension`: the program's path without its last "." and what
// follows. Otherwise its folder, with a trailing "\" when `appendBackslash`.
// An empty path stays empty.
std::string ModulePathPart(const std::string& modulePath, bool withoutExtension, bool appendBackslash);
inline std::string ProgramFolder(const std::string& modulePath) {
    return ModulePathPart(modulePath, false, true);
}
inline std::string IniPathOf(const std::string& modulePath) {
    return ModulePathPart(modulePath, true, false) + ".ini";
}

// One configuration file, read key by key through the platform's
// initialization-file functions.
class IniFile {
public:
    IniFile(platform::Files& files, std::string path) : files_(files), path_(std::move(path)) {}
    const std::string& path() const { return path_; }

    std::string Text(const std::string& section, const std::string& key,
                     const std::string& fallback = std::string()) const {
        return files_.IniString(section, key, fallback, path_);
    }
    // An Integer key of the schema, with its default.
    int Integer(const schema::Section& schema, const std::string& section, const char* key) const {
        return files_.IniInt(section, key, schema.Fallback(key), path_);
    }
    // The section's lines as the system lists them (at most 2,048 bytes).
    std::string Listing(const std::string& section) const { return files_.IniSection(section, path_); }
    // -1 when no line of the section's listing begins with the key's name;
    // otherwise the Presence key's value.
    int IntegerIfPresent(const schema::Section& schema, const std::string& section,
                         const char* key) const;

private:
    platform::Files& files_;
    std::string path_;
};

// What the path macros stand for on the machine; `known` is false when the
// system folder is unknown, and then nothing is replaced.
struct PathMacros {
    bool known = false;
    std::string system, commonFiles, root;
};
// Replaces "#System#", "#CommonProgramFiles#" and "#Root#" in a path.
void ReplacePathMacros(const PathMacros& macros, std::string& text);

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

MainSettings ReadMainSettings(const IniFile& ini);

// Whether the operation type fits the package: "Minor" or "Major" for a
// patch, "Install" or "InstallUpgrade" for a product (letter case aside).
bool OperationTypeFits(const MainSettings& main);

}  // namespace setup
