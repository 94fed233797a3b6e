#include "config/configuration.h"

#include <cstring>

#include "driver/session.h"

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

std::string GetProductName(Session& session, bool fromConfiguration) {
    if (fromConfiguration) return GetIniString(session.os, kMainSection, "Name");
    return session.package.productName;
}

std::string GetProductVersion(Session& session, bool fromConfiguration) {
    if (fromConfiguration) return GetIniString(session.os, kMainSection, "VersionTarget");
    return session.package.productVersion;
}

}  // namespace setup
