// Prerequisite and post-requisite components, one configuration section
// each ("PreReq0", "PreReq1", ... and "PostReq0", ...).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "conditions/version_strings.h"
#include "platform/platform.h"

namespace setup {

struct Session;

// A registry condition: where the value is and what it must satisfy.
struct RegConditionPair {
    std::string regPath;
    std::string regCond;
};

enum class OptionalState { Checked = 0, Unchecked = 1, NoCheckBox = 2 };

struct ComponentDescriptor {
    std::string Name;
    std::string Url;
    std::string InstPath;
    std::string InstParams;
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
    bool Present = false;
    OptionalState optionalState = OptionalState::NoCheckBox;
    std::string RunExeText;
    bool Selected = true;
};

using ComponentList = std::vector<ComponentDescriptor>;

// The accepted registry root names, matched without regard to case; false
// for any other name (abbreviations included).
bool LookupRootKey(const std::string& name, platform::RegistryRoot* root);

// The components of the "PreReq%d" sections that are to be offered: those
// that are missing, and every uninstall step.
void ReadPrerequisiteList(Session& session, const char* sectionPattern, ComponentList& list);
// One component per "PostReq%d" section, read only for running it.
void ReadPostRequisiteList(Session& session, const char* sectionPattern, ComponentList& list);
// Appends the section's condition pairs: RegPath/RegCond, then 0 to 31.
void ReadRegConditions(Session& session, const std::string& section,
                       std::vector<RegConditionPair>& conditions);

// The section name for an index ("PreReq%d" and 3 give "PreReq3").
std::string SectionName(const char* sectionPattern, int index);

}  // namespace setup
