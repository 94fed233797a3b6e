#include "conditions/component_sources.h"

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
        std::string folder = path.substr(pos, end - pos);
        pos = end + 1;
        if (folder.empty()) continue;
        if (folder.back() != '\\') folder += '\\';
        if (os.files().SearchFinds(folder + "oci.dll")) return true;
    }
    return false;
}

// InstPath and InstParams from the command stored in the registry value
// that InstRegPath names (for example an uninstall command line); false
// when it gives none.
bool ResolveFromRegistry(platform::Platform& os, ComponentDescriptor& c) {
    RegistryPath where;
    if (SplitRegistryPath(c.InstRegPath, &where) != RegistryPathError::None) return false;
    std::string bytes;
    uint32_t type = 0;
    if (os.registry().ReadValue(where.root, where.keyPath, where.valueName, platform::RegistryView::Default,
                                kRegistryPathBufferSize, &bytes, &type) != codes::kSuccess) {
        return false;
    }
    const size_t nul = bytes.find('\0');
    if (nul == std::string::npos) return false;  // not text
    const std::string command = bytes.substr(0, nul);
    const size_t blank = command.find(' ');
    if (command.empty() || blank == std::string::npos) return false;
    c.InstPath = command.substr(0, blank);
    c.InstParams = command + " " + c.InstParams;
    return true;
}

}  // namespace

PathMacros DetectPathMacros(platform::Platform& os, const std::string& modulePath) {
    PathMacros macros;
    macros.known = os.files().SystemFolder(&macros.system);
    if (!os.files().CommonProgramFilesFolder(&macros.commonFiles)) macros.commonFiles.clear();
    macros.root = ModulePathPart(modulePath, false, false);
    return macros;
}

ComponentList ResolveInstallers(platform::Platform& os, const ComponentList& sections) {
    ComponentList list;
    for (ComponentDescriptor c : sections) {
        // An Oracle client found on the Path is not offered. Later sections
        // are unrelated components and are read as usual.
        if (c.Name == kOracleClient && OracleClientOnPath(os)) continue;
        if (c.InstPath.empty() && !ResolveFromRegistry(os, c)) continue;
        if (c.InstPath.empty()) continue;
        list.push_back(c);
    }
    return list;
}

}  // namespace setup
