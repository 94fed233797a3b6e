#include "driver/host_checks.h"

#include <vector>

#include "config/version_strings.h"
#include "diagnostics/text_format.h"

namespace setup {

std::string SingleInstanceName(const std::string& suffix) {
    std::string name = kSingleInstancePrefix;
    for (char c : suffix) name += c == '\\' ? '/' : c;
    if (Utf8ToUtf16(name).size() < kMaxObjectName) return name;
    // Object names are limited to MAX_PATH characters: a longer package
    // path is named by a hash of it, so runs for it still exclude each other.
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (char c : suffix) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return std::string(kSingleInstancePrefix) +
           Format("#%016llx", static_cast<unsigned long long>(hash));
}

std::string WindowsDisplayName(uint32_t major, uint32_t minor, uint16_t spMajor, uint16_t spMinor) {
    struct Name {
        uint32_t major, minor;  // minor ~0u: any
        const char* name;
    };
    static const Name kNames[] = {{5, 0, "2000"}, {5, 1, "XP"}, {5, 2, "XP 64-Bit"},
                                  {6, 0, "Vista"}, {6, 1, "7"},  {6, 2, "8"},
                                  {6, 3, "8.1"},   {10, ~0u, "10"}};
    std::string text;
    for (const Name& n : kNames) {
        if (n.major == major && (n.minor == ~0u || n.minor == minor)) {
            text = Format("'Windows %s'", n.name);
            break;
        }
    }
    if (text.empty()) text = Format("'Windows %u.%u'", major, minor);
    if (spMajor != 0) {
        // The service-pack text carries byte 0xF1 in place of its "c".
        if (spMinor != 0) {
            text += Format(" (Servi\xF1" "e Pack %u.%u)", unsigned{spMajor}, unsigned{spMinor});
        } else {
            text += Format(" (Servi\xF1" "e Pack %u)", unsigned{spMajor});
        }
    }
    return text;
}

MinimumWindows ParseMinimumWindows(const MainSettings& main) {
    MinimumWindows minimum;
    minimum.set = !main.MinWinVersion.empty();
    if (!minimum.set) return minimum;
    const auto invalid = [&](const std::string& value, const char* key) {
        minimum.errors.push_back(
            Format("CheckWinVersion() failed. Invalid version '%s' in variable '%s'.\r\n", value.c_str(), key));
    };
    // A value of dots only gives no number at all; it is as invalid as one
    // with letters.
    std::vector<uint32_t> numbers;
    if (!ParseNumberList(main.MinWinVersion, &numbers) || numbers.empty()) {
        invalid(main.MinWinVersion, "MinWinVersion");
    } else {
        minimum.major = numbers[0];
        minimum.minor = numbers.size() > 1 ? numbers[1] : 0;
    }
    if (!main.MinWinServicePack.empty()) {
        std::vector<uint32_t> sp;
        if (!ParseNumberList(main.MinWinServicePack, &sp) || sp.empty()) {
            invalid(main.MinWinServicePack, "MinWinServicePack");
        } else {
            minimum.spMajor = static_cast<uint16_t>(sp[0] & 0xFFFF);
            minimum.spMinor = static_cast<uint16_t>(sp.size() > 1 ? sp[1] & 0xFFFF : 0);
        }
    }
    return minimum;
}

std::string PackagePlatform(const std::string& summaryTemplate) {
    size_t semicolon = summaryTemplate.find(';');
    if (semicolon == std::string::npos || semicolon == 0) return std::string();
    return summaryTemplate.substr(0, semicolon);
}

bool IsPlatform64(const std::string& packagePlatform) {
    return packagePlatform.size() >= 2
               ? packagePlatform.compare(packagePlatform.size() - 2, 2, "64") == 0
               : packagePlatform == "64";
}

}  // namespace setup
