// Prerequisite and post-requisite components, one configuration section
// each ("PreReq0", "PreReq1", ... and "PostReq0", ...), read into plain
// data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/configuration.h"
#include "config/version_strings.h"
#include "platform/platform.h"

namespace setup {

constexpr const char* kPrerequisiteSections = "PreReq%d";
constexpr const char* kPostRequisiteSections = "PostReq%d";
// The component whose client is looked for on the Path instead.
constexpr const char* kOracleClient = "Oracle Instant Client";

// A registry condition: where the value is and what it must satisfy.
struct RegConditionPair {
    std::string regPath;
    std::string regCond;
};

enum class OptionalState { Checked = 0, Unchecked = 1, NoCheckBox = 2 };

struct ComponentDescriptor {
    std::string Section;  // where it was read ("PreReq3")
    std::string Name;
    std::string Url;
    std::string InstPath;
    std::string InstParams;
    std::string InstRegPath;  // where InstPath comes from when it is empty
    int32_t IsUninstall = 0;
    int32_t AdminNeed = 1;
    int32_t RunAs = 0;
    int32_t OSbit = 0;
    int32_t OSver = 0;
    std::string FilePath;
    VersionValue FileVer;
    int32_t FileTryLoad = 0;
    std::string MsiProd;
    std::vector<RegConditionPair> RegConditions;
    std::string ChooseDownload;
    std::string RunExeCond;
    int32_t Key64 = 0;
    OptionalState Optional = OptionalState::NoCheckBox;
    std::string Sha256;  // of InstPath; empty: not checked
};

using ComponentList = std::vector<ComponentDescriptor>;

// The accepted registry root names, matched without regard to case; false
// for any other name (abbreviations included).
bool LookupRootKey(const std::string& name, platform::RegistryRoot* root);
const char* RootKeyName(platform::RegistryRoot root);
std::vector<std::string> RootKeyNames();

// "ROOT\key path\value name" taken apart.
struct RegistryPath {
    platform::RegistryRoot root = platform::RegistryRoot::LocalMachine;
    std::string rootName, keyPath, valueName;
};
enum class RegistryPathError { None, NoKey, UnknownRoot, NoValueName };
RegistryPathError SplitRegistryPath(const std::string& path, RegistryPath* parts);

// Every "PreReq%d" section in order, up to the first without a Name, as
// written: InstPath with its path macros replaced (InstRegPath is left to
// the probes, which read the registry), InstParams with the Libre Office
// switch added.
ComponentList ReadPrerequisiteList(const IniFile& ini, const PathMacros& macros);
// The keys of a prerequisite section after its name and installer: the
// filters, the probes and the check box.
void ReadPrerequisiteDetails(const IniFile& ini, const PathMacros& macros, const std::string& section,
                             ComponentDescriptor& c);
// One component per "PostReq%d" section, read only for running it.
ComponentList ReadPostRequisiteList(const IniFile& ini, const PathMacros& macros);

// The section name for an index ("PreReq%d" and 3 give "PreReq3").
std::string SectionName(const char* sectionPattern, int index);

}  // namespace setup
