#include "config/component_descriptors.h"

#include "config/configuration.h"
#include "diagnostics/text_format.h"
#include "platform/codes.h"

namespace setup {
namespace {

constexpr size_t kRegistryPathBufferSize = 260;
// The whole variable: Windows allows 32,767 characters.
constexpr size_t kPathVariableBufferSize = 32768;

// Whether oci.dll lies in a folder of the Path variable.
bool OracleClientOnPath(platform::Platform& os) {
    std::string path;
    if (!os.system().EnvironmentVariable("Path", kPathVariableBufferSize, &path)) return false;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t end = path.find(';', pos);
        if (end == std::string::npos) end = path.size();
        const std::string folder = path.substr(pos, end - pos);
        if (!folder.empty() && os.files().FolderHolds(folder, "oci.dll")) return true;
        pos = end + 1;
    }
    return false;
}

// InstPath and InstParams from the command stored in the registry value
// that InstRegPath names (for example an uninstall command line); false
// when it gives none.
bool ResolveFromRegistry(platform::Platform& os, const std::string& section, ComponentDescriptor& c) {
    RegistryPath where;
    if (SplitRegistryPath(GetIniString(os, section, "InstRegPath"), &where) != RegistryPathError::None) {
        return false;
    }
    std::string bytes;
    uint32_t type = 0;
    if (os.registry().ReadValue(where.root, where.keyPath, where.valueName,
                                platform::RegistryView::Default, kRegistryPathBufferSize, &bytes,
                                &type) != codes::kSuccess) {
        return false;
    }
    const size_t nul = bytes.find('\0');
    if (nul == std::string::npos) return false;  // not text
    const std::string command = bytes.substr(0, nul);
    const size_t blank = command.find(' ');
    if (command.empty() || blank == std::string::npos) return false;
    c.InstPath = command.substr(0, blank);
    c.InstParams = command + " " + GetIniString(os, section, "InstParams");
    return true;
}

void ReadRegConditions(platform::Platform& os, const std::string& section,
                       std::vector<RegConditionPair>& conditions) {
    auto readPair = [&](const std::string& suffix) {
        RegConditionPair pair{GetIniString(os, section, "RegPath" + suffix),
                              GetIniString(os, section, "RegCond" + suffix)};
        if (!pair.regPath.empty() && !pair.regCond.empty()) conditions.push_back(pair);
    };
    readPair("");
    for (int k = 0; k <= 31; ++k) readPair(std::to_string(k));
}

}  // namespace

namespace {

const struct {
    const char* name;
    platform::RegistryRoot root;
} kRootKeyTable[] = {
    {"HKEY_CLASSES_ROOT", platform::RegistryRoot::ClassesRoot},
    {"HKEY_CURRENT_USER", platform::RegistryRoot::CurrentUser},
    {"HKEY_LOCAL_MACHINE", platform::RegistryRoot::LocalMachine},
    {"HKEY_USERS", platform::RegistryRoot::Users},
    {"HKEY_PERFORMANCE_DATA", platform::RegistryRoot::PerformanceData},
};

}  // namespace

const char* RootKeyName(platform::RegistryRoot root) {
    for (const auto& entry : kRootKeyTable) {
        if (entry.root == root) return entry.name;
    }
    return "";
}

bool LookupRootKey(const std::string& name, platform::RegistryRoot* root) {
    for (const auto& entry : kRootKeyTable) {
        if (EqualsNoCase(name, entry.name)) {
            *root = entry.root;
            return true;
        }
    }
    return false;
}

RegistryPathError SplitRegistryPath(const std::string& path, RegistryPath* parts) {
    const size_t firstSlash = path.find('\\');
    if (firstSlash == std::string::npos) return RegistryPathError::NoKey;
    parts->rootName = path.substr(0, firstSlash);
    if (!LookupRootKey(parts->rootName, &parts->root)) return RegistryPathError::UnknownRoot;
    const std::string rest = path.substr(firstSlash + 1);
    const size_t lastSlash = rest.rfind('\\');
    if (lastSlash == std::string::npos || lastSlash + 1 == rest.size()) {
        return RegistryPathError::NoValueName;
    }
    parts->keyPath = rest.substr(0, lastSlash);
    parts->valueName = rest.substr(lastSlash + 1);
    return RegistryPathError::None;
}

std::string SectionName(const char* sectionPattern, int index) {
    std::string name = sectionPattern;
    ReplaceAll(name, "%d", std::to_string(index));
    return name;
}

void ReadPrerequisiteDetails(platform::Platform& os, const std::string& section,
                             ComponentDescriptor& c) {
    c.IsUninstall = GetIniInt(os, section, "IsUninstall", 0);
    c.AdminNeed = GetIniInt(os, section, "AdminNeed", 1);
    c.RunAs = GetIniInt(os, section, "RunAs", 0);
    c.OSbit = GetIniInt(os, section, "OSbit", 0);
    c.OSver = ToInt(GetIniString(os, section, "OSver").c_str());
    c.Key64 = GetIniInt(os, section, "Key64", 0);
    c.FilePath = GetIniString(os, section, "FilePath");
    ReplacePathMacros(os, c.FilePath);
    c.FileVer = ParseVersionValue(GetIniString(os, section, "FileVer"));
    c.FileTryLoad = GetIniInt(os, section, "FileTryLoad", 0);
    c.MsiProd = GetIniString(os, section, "MsiProd");
    ReadRegConditions(os, section, c.RegConditions);
    c.ChooseDownload = GetIniString(os, section, "ChooseDownload");
    c.RunExeCond = GetIniString(os, section, "RunExeCond");
    c.Sha256 = GetIniString(os, section, "Sha256");
    switch (GetIniIntIfPresent(os, section, "Optional", 1)) {
        case -1: c.Optional = OptionalState::NoCheckBox; break;
        case 0: c.Optional = OptionalState::Unchecked; break;
        case 1: c.Optional = OptionalState::Checked; break;
        default: break;  // another value keeps the default, no check box
    }
}

ComponentList ReadPrerequisiteList(platform::Platform& os, const char* sectionPattern) {
    ComponentList list;
    for (int index = 0;; ++index) {
        const std::string section = SectionName(sectionPattern, index);
        ComponentDescriptor c;
        c.Section = section;
        c.Name = GetIniString(os, section, "Name");
        if (c.Name.empty()) return list;

        // An Oracle client found on the Path is not offered. Later sections
        // are unrelated components and are read as usual.
        if (c.Name == "Oracle Instant Client" && OracleClientOnPath(os)) continue;

        c.Url = GetIniString(os, section, "Url");
        c.InstPath = GetIniString(os, section, "InstPath");
        if (!c.InstPath.empty()) {
            ReplacePathMacros(os, c.InstPath);
            c.InstParams = GetIniString(os, section, "InstParams");
            if (ContainsNoCase(c.Name, "Libre Office") &&
                GetIniInt(os, section, "NotAssociateWithMSOfficeFiles", 0) != 0) {
                c.InstParams += " REGISTER_NO_MSO_TYPES=1 ";
            }
        } else if (!ResolveFromRegistry(os, section, c)) {
            continue;
        }
        if (c.InstPath.empty()) continue;

        ReadPrerequisiteDetails(os, section, c);
        list.push_back(c);
    }
}

ComponentList ReadPostRequisiteList(platform::Platform& os, const char* sectionPattern) {
    ComponentList list;
    for (int index = 0;; ++index) {
        const std::string section = SectionName(sectionPattern, index);
        ComponentDescriptor c;
        c.Section = section;
        c.RunAs = GetIniInt(os, section, "RunAs", 0);
        c.Name = GetIniString(os, section, "Name");
        if (c.Name.empty()) return list;
        c.Url = GetIniString(os, section, "Url");
        c.InstPath = GetIniString(os, section, "InstPath");
        if (!c.InstPath.empty()) {
            ReplacePathMacros(os, c.InstPath);
            c.InstParams = GetIniString(os, section, "InstParams");
        }
        c.Sha256 = GetIniString(os, section, "Sha256");
        list.push_back(c);
    }
}

}  // namespace setup
