#include "config/component_descriptors.h"

#include "diagnostics/text_format.h"
#include "platform/codes.h"

namespace setup {
namespace {

void ReadRegConditions(const IniFile& ini, const std::string& section,
                       std::vector<RegConditionPair>& conditions) {
    auto readPair = [&](const std::string& suffix) {
        RegConditionPair pair{ini.Text(section, "RegPath" + suffix), ini.Text(section, "RegCond" + suffix)};
        if (!pair.regPath.empty() && !pair.regCond.empty()) conditions.push_back(pair);
    };
    readPair("");
    for (int k = 0; k <= schema::kLastNumber; ++k) readPair(std::to_string(k));
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

std::vector<std::string> RootKeyNames() {
    std::vector<std::string> names;
    for (const auto& entry : kRootKeyTable) names.push_back(entry.name);
    return names;
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

void ReadPrerequisiteDetails(const IniFile& ini, const PathMacros& macros, const std::string& section,
                             ComponentDescriptor& c) {
    const schema::Section& keys = schema::kPrerequisites;
    const auto number = [&](const char* key) { return ini.Integer(keys, section, key); };
    c.IsUninstall = number("IsUninstall");
    c.AdminNeed = number("AdminNeed");
    c.RunAs = number("RunAs");
    c.OSbit = number("OSbit");
    c.OSver = ToInt(ini.Text(section, "OSver").c_str());
    c.Key64 = number("Key64");
    c.FilePath = ini.Text(section, "FilePath");
    ReplacePathMacros(macros, c.FilePath);
    c.FileVer = ParseVersionValue(ini.Text(section, "FileVer"));
    c.FileTryLoad = number("FileTryLoad");
    c.MsiProd = ini.Text(section, "MsiProd");
    ReadRegConditions(ini, section, c.RegConditions);
    c.ChooseDownload = ini.Text(section, "ChooseDownload");
    c.RunExeCond = ini.Text(section, "RunExeCond");
    c.Sha256 = ini.Text(section, "Sha256");
    switch (ini.IntegerIfPresent(keys, section, "Optional")) {
        case -1: c.Optional = OptionalState::NoCheckBox; break;
        case 0: c.Optional = OptionalState::Unchecked; break;
        case 1: c.Optional = OptionalState::Checked; break;
        default: break;  // another value keeps the default, no check box
    }
}

ComponentList ReadPrerequisiteList(const IniFile& ini, const PathMacros& macros) {
    ComponentList list;
    for (int index = 0;; ++index) {
        ComponentDescriptor c;
        c.Section = SectionName(kPrerequisiteSections, index);
        const std::string& section = c.Section;
        c.Name = ini.Text(section, "Name");
        if (c.Name.empty()) return list;
        c.Url = ini.Text(section, "Url");
        c.InstPath = ini.Text(section, "InstPath");
        c.InstParams = ini.Text(section, "InstParams");
        if (!c.InstPath.empty()) {
            ReplacePathMacros(macros, c.InstPath);
            if (ContainsNoCase(c.Name, "Libre Office") &&
                ini.Integer(schema::kPrerequisites, section, "NotAssociateWithMSOfficeFiles") != 0) {
                c.InstParams += " REGISTER_NO_MSO_TYPES=1 ";
            }
        } else {
            c.InstRegPath = ini.Text(section, "InstRegPath");
        }
        ReadPrerequisiteDetails(ini, macros, section, c);
        list.push_back(c);
    }
}

ComponentList ReadPostRequisiteList(const IniFile& ini, const PathMacros& macros) {
    ComponentList list;
    for (int index = 0;; ++index) {
        ComponentDescriptor c;
        c.Section = SectionName(kPostRequisiteSections, index);
        const std::string& section = c.Section;
        c.RunAs = ini.Integer(schema::kPostRequisites, section, "RunAs");
        c.Name = ini.Text(section, "Name");
        if (c.Name.empty()) return list;
        c.Url = ini.Text(section, "Url");
        c.InstPath = ini.Text(section, "InstPath");
        if (!c.InstPath.empty()) {
            ReplacePathMacros(macros, c.InstPath);
            c.InstParams = ini.Text(section, "InstParams");
        }
        c.Sha256 = ini.Text(section, "Sha256");
        list.push_back(c);
    }
}

}  // namespace setup
