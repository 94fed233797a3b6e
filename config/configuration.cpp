#include "config/configuration.h"

#include <cstring>

#include "diagnostics/text_format.h"

namespace setup {

std::string ModulePathPart(const std::string& modulePath, bool withoutExtension, bool appendBackslash) {
    std::string path = modulePath;
    if (path.empty()) return path;
    if (withoutExtension) {
        const size_t dot = path.rfind('.');
        if (dot != std::string::npos) path.erase(dot);
        return path;
    }
    const size_t slash = path.rfind('\\');
    path.erase(slash == std::string::npos ? 0 : slash);
    if (appendBackslash) path += '\\';
    return path;
}

int IniFile::IntegerIfPresent(const schema::Section& schema, const std::string& section,
                              const char* key) const {
    const std::string listing = Listing(section);
    const size_t length = std::strlen(key);
    size_t pos = 0;
    while (pos < listing.size() && listing[pos] != '\0') {
        size_t end = listing.find('\0', pos);
        if (end == std::string::npos) end = listing.size();
        size_t start = pos;
        while (start < end && std::strchr(" \t\r\n\v\f", listing[start]) != nullptr) ++start;
        // The line's beginning counts, letter case included.
        if (end - start >= length && listing.compare(start, length, key) == 0) {
            return Integer(schema, section, key);
        }
        pos = end + 1;
    }
    return -1;
}

void ReplacePathMacros(const PathMacros& macros, std::string& text) {
    if (!macros.known) return;
    ReplaceAll(text, "#System#", macros.system);
    ReplaceAll(text, "#CommonProgramFiles#", macros.commonFiles);
    ReplaceAll(text, "#Root#", macros.root);
}

MainSettings ReadMainSettings(const IniFile& ini) {
    const schema::Section& main = schema::kMain;
    const auto text = [&](const char* key) { return ini.Text(main.pattern, key); };
    const auto number = [&](const char* key) { return ini.Integer(main, main.pattern, key); };
    MainSettings m;
    m.MsiPath = text("MsiPath");
    m.MsiPatch = number("MsiPatch");
    m.MsiType = ini.Text(main.pattern, "MsiType", m.MsiPatch == 0 ? "Install" : "Major");
    m.MsiProp = text("MsiProp");
    m.Os32Need = number("Os32Need");
    m.AdminNeed = number("AdminNeed");
    m.Name = text("Name");
    m.VersionTarget = text("VersionTarget");
    m.UpdateDisable = number("UpdateDisable");
    m.DefaultReinstallmode = text("DefaultReinstallmode");
    m.LangId = number("LangId");
    m.MinWinVersion = text("MinWinVersion");
    m.MinWinServicePack = text("MinWinServicePack");
    m.MinWinMessage = text("MinWinMessage");
    m.SendErrorLogTo = text("SendErrorLogTo");
    m.Sha256 = text("Sha256");
    return m;
}

bool OperationTypeFits(const MainSettings& main) {
    const std::string& type = main.MsiType;
    return main.MsiPatch != 0 ? EqualsNoCase(type, "Minor") || EqualsNoCase(type, "Major")
                              : EqualsNoCase(type, "Install") || EqualsNoCase(type, "InstallUpgrade");
}

}  // namespace setup
