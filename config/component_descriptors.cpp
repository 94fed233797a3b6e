#include "config/component_descriptors.h"

#include <cctype>

#include "conditions/presence_probes.h"
#include "config/configuration.h"
#include "diagnostics/text_format.h"
#include "driver/session.h"
#include "platform/codes.h"

namespace setup {
namespace {

constexpr size_t kRegistryPathBufferSize = 260;
// The whole variable: Windows allows 32,767 characters.
constexpr size_t kPathVariableBufferSize = 32768;

// Whether oci.dll lies in a folder of the Path variable.
bool OracleClientOnPath(Session& s) {
    std::string path;
    if (!s.os.system().EnvironmentVariable("Path", kPathVariableBufferSize, &path)) return false;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t end = path.find(';', pos);
        if (end == std::string::npos) end = path.size();
        const std::string folder = path.substr(pos, end - pos);
        if (!folder.empty() && s.os.files().FolderHolds(folder, "oci.dll")) return true;
        pos = end + 1;
    }
    return false;
}

// InstPath and InstParams from the command stored in the registry value
// that InstRegPath names (for example an uninstall command line); false
// when it gives none.
bool ResolveFromRegistry(Session& s, const std::string& section, ComponentDescriptor& c) {
    const std::string regPath = GetIniString(s.os, section, "InstRegPath");
    const size_t firstSlash = regPath.find('\\');
    if (firstSlash == std::string::npos) return false;
    platform::RegistryRoot root;
    if (!LookupRootKey(regPath.substr(0, firstSlash), &root)) return false;
    const std::string rest = regPath.substr(firstSlash + 1);
    const size_t lastSlash = rest.rfind('\\');
    if (lastSlash == std::string::npos || lastSlash + 1 == rest.size()) return false;

    std::string bytes;
    if (s.os.registry().ReadValue(root, rest.substr(0, lastSlash), rest.substr(lastSlash + 1),
                                  platform::RegistryView::Default, kRegistryPathBufferSize,
                                  &bytes) != codes::kSuccess) {
        return false;
    }
    const size_t nul = bytes.find('\0');
    if (nul == std::string::npos) return false;  // not text
    const std::string command = bytes.substr(0, nul);
    const size_t blank = command.find(' ');
    if (command.empty() || blank == std::string::npos) return false;
    c.InstPath = command.substr(0, blank);
    c.InstParams = command + " " + GetIniString(s.os, section, "InstParams");
    return true;
}

}  // namespace

bool LookupRootKey(const std::string& name, platform::RegistryRoot* root) {
    using platform::RegistryRoot;
    static const struct {
        const char* name;
        RegistryRoot root;
    } kRootKeyTable[] = {
        {"HKEY_CLASSES_ROOT", RegistryRoot::ClassesRoot},
        {"HKEY_CURRENT_USER", RegistryRoot::CurrentUser},
        {"HKEY_LOCAL_MACHINE", RegistryRoot::LocalMachine},
        {"HKEY_USERS", RegistryRoot::Users},
        {"HKEY_PERFORMANCE_DATA", RegistryRoot::PerformanceData},
    };
    for (const auto& entry : kRootKeyTable) {
        if (EqualsNoCase(name, entry.name)) {
            *root = entry.root;
            return true;
        }
    }
    return false;
}

std::string SectionName(const char* sectionPattern, int index) {
    std::string name = sectionPattern;
    ReplaceAll(name, "%d", std::to_string(index));
    return name;
}

void ReadRegConditions(Session& s, const std::string& section,
                       std::vector<RegConditionPair>& conditions) {
    auto readPair = [&](const std::string& suffix) {
        RegConditionPair pair{GetIniString(s.os, section, "RegPath" + suffix),
                              GetIniString(s.os, section, "RegCond" + suffix)};
        if (!pair.regPath.empty() && !pair.regCond.empty()) conditions.push_back(pair);
    };
    readPair("");
    for (int k = 0; k <= 31; ++k) readPair(std::to_string(k));
}

void ReadPrerequisiteList(Session& s, const char* sectionPattern, ComponentList& list) {
    list.clear();
    for (int index = 0;; ++index) {
        const std::string section = SectionName(sectionPattern, index);
        ComponentDescriptor c;
        c.Name = GetIniString(s.os, section, "Name");
        if (c.Name.empty()) return;

        // An Oracle client found on the Path is not offered. Later sections
        // are unrelated components and are read as usual.
        if (c.Name == "Oracle Instant Client" && OracleClientOnPath(s)) continue;

        c.Url = GetIniString(s.os, section, "Url");
        c.InstPath = GetIniString(s.os, section, "InstPath");
        if (!c.InstPath.empty()) {
            ReplacePathMacros(s, c.InstPath);
            c.InstParams = GetIniString(s.os, section, "InstParams");
            if (ContainsNoCase(c.Name, "Libre Office") &&
                GetIniInt(s.os, section, "NotAssociateWithMSOfficeFiles", 0) != 0) {
                c.InstParams += " REGISTER_NO_MSO_TYPES=1 ";
            }
        } else if (!ResolveFromRegistry(s, section, c)) {
            continue;
        }
        if (c.InstPath.empty()) continue;

        c.IsUninstall = GetIniInt(s.os, section, "IsUninstall", 0);
        c.AdminNeed = GetIniInt(s.os, section, "AdminNeed", 1);
        c.RunAs = GetIniInt(s.os, section, "RunAs", 0);
        c.OSbit = GetIniInt(s.os, section, "OSbit", 0);
        c.OSver = ToInt(GetIniString(s.os, section, "OSver").c_str());
        c.Key64 = GetIniInt(s.os, section, "Key64", 0);
        c.FilePath = GetIniString(s.os, section, "FilePath");
        ReplacePathMacros(s, c.FilePath);
        c.FileVer = ParseVersionValue(GetIniString(s.os, section, "FileVer"));
        c.FileTryLoad = GetIniInt(s.os, section, "FileTryLoad", 0);
        c.MsiProd = GetIniString(s.os, section, "MsiProd");
        ReadRegConditions(s, section, c.RegConditions);
        c.ChooseDownload = GetIniString(s.os, section, "ChooseDownload");
        c.RunExeCond = GetIniString(s.os, section, "RunExeCond");

        c.Selected = true;
        switch (GetIniIntIfPresent(s.os, section, "Optional", 1)) {
            case -1: c.optionalState = OptionalState::NoCheckBox; break;
            case 0: c.optionalState = OptionalState::Unchecked; break;
            case 1: c.optionalState = OptionalState::Checked; break;
            default: break;  // another value keeps the default, no check box
        }

        const bool needed = IsComponentNeeded(s, c);
        if (needed || c.IsUninstall != 0) list.push_back(c);
    }
}

void ReadPostRequisiteList(Session& s, const char* sectionPattern, ComponentList& list) {
    list.clear();
    for (int index = 0;; ++index) {
        const std::string section = SectionName(sectionPattern, index);
        ComponentDescriptor c;
        c.RunAs = GetIniInt(s.os, section, "RunAs", 0);
        c.Name = GetIniString(s.os, section, "Name");
        if (c.Name.empty()) return;
        c.Url = GetIniString(s.os, section, "Url");
        c.InstPath = GetIniString(s.os, section, "InstPath");
        if (!c.InstPath.empty()) {
            ReplacePathMacros(s, c.InstPath);
            c.InstParams = GetIniString(s.os, section, "InstParams");
        }
        list.push_back(c);
    }
}

}  // namespace setup
