#include "config/configuration.h"

#include <cstring>

#include "diagnostics/text_format.h"

namespace setup {

std::string GetModulePath(platform::Platform& os, bool withoutExtension, bool appendBackslash) {
    std::string path = os.files().ModulePath();
    if (path.empty()) return path;
    if (withoutExtension) {
        size_t dot = path.rfind('.');
        if (dot != std::string::npos) path.erase(dot);
        return path;
    }
    size_t slash = path.rfind('\\');
    path.erase(slash == std::string::npos ? 0 : slash);
    if (appendBackslash) path += '\\';
    return path;
}

std::string GetIniPath(platform::Platform& os) {
    return GetModulePath(os, true, false) + ".ini";
}

std::string GetIniString(platform::Platform& os, const std::string& section,
                         const std::string& key, const std::string& fallback) {
    return os.files().IniString(section, key, fallback, GetIniPath(os));
}

int GetIniInt(platform::Platform& os, const std::string& section, const std::string& key,
              int fallback) {
    return os.files().IniInt(section, key, fallback, GetIniPath(os));
}

int GetIniIntIfPresent(platform::Platform& os, const std::string& section,
                       const std::string& key, int fallback) {
    const std::string listing = os.files().IniSection(section, GetIniPath(os));
    size_t pos = 0;
    while (pos < listing.size() && listing[pos] != '\0') {
        size_t end = listing.find('\0', pos);
        if (end == std::string::npos) end = listing.size();
        size_t start = pos;
        while (start < end && std::strchr(" \t\r\n\v\f", listing[start]) != nullptr) ++start;
        // Optional is the only key read this way, so its name is what counts.
        if (listing.compare(start, 8, "Optional") == 0 && end - start >= 8) {
            return GetIniInt(os, section, key, fallback);
        }
        pos = end + 1;
    }
    return -1;
}

void ReplacePathMacros(platform::Platform& os, std::string& text) {
    std::string systemFolder, commonFiles;
    if (!os.files().SystemFolder(&systemFolder)) return;
    if (!os.files().CommonProgramFilesFolder(&commonFiles)) commonFiles.clear();
    ReplaceAll(text, "#System#", systemFolder);
    ReplaceAll(text, "#CommonProgramFiles#", commonFiles);
    ReplaceAll(text, "#Root#", GetModulePath(os, false, false));
}

MainSettings ReadMainSettings(platform::Platform& os) {
    auto text = [&](const char* key) { return GetIniString(os, kMainSection, key); };
    auto number = [&](const char* key, int fallback) { return GetIniInt(os, kMainSection, key, fallback); };
    MainSettings m;
    m.MsiPath = text("MsiPath");
    m.MsiPatch = number("MsiPatch", 0);
    m.MsiType = GetIniString(os, kMainSection, "MsiType", m.MsiPatch == 0 ? "Install" : "Major");
    m.MsiProp = text("MsiProp");
    m.Os32Need = number("Os32Need", 0);
    m.AdminNeed = number("AdminNeed", 1);
    m.Name = text("Name");
    m.VersionTarget = text("VersionTarget");
    m.UpdateDisable = number("UpdateDisable", 0);
    m.DefaultReinstallmode = text("DefaultReinstallmode");
    m.LangId = number("LangId", 0);
    m.MinWinVersion = text("MinWinVersion");
    m.MinWinServicePack = text("MinWinServicePack");
    m.MinWinMessage = text("MinWinMessage");
    m.SendErrorLogTo = text("SendErrorLogTo");
    m.Sha256 = text("Sha256");
    return m;
}

}  // namespace setup
