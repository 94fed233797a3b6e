#include "driver/host_checks.h"

#include <vector>

#include "config/version_strings.h"
#include "diagnostics/string_ids.h"
#include "diagnostics/text_format.h"
#include "platform/codes.h"

namespace setup {

bool IsNativeX86(platform::Platform& os) {
    return os.system().NativeArchitecture() == codes::kArchitectureX86;
}

bool IsWindows5OrLater(platform::Platform& os) {
    platform::OsVersion version;
    return os.system().Version(&version) && version.major >= 5;
}

std::string SingleInstanceName(const std::string& suffix) {
    std::string name = kSingleInstancePrefix;
    for (char c : suffix) name += c == '\\' ? '/' : c;
    if (name.size() < kMaxObjectName) return name;
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

bool AcquireSingleInstance(platform::Platform& os, const std::string& suffix,
                           std::unique_ptr<platform::Held>& guard) {
    bool existed = false;
    guard = os.system().CreateNamedMutex(SingleInstanceName(suffix), &existed);
    return !guard || existed;
}

std::string LongPathOrSame(platform::Platform& os, const std::string& path) {
    std::string longPath;
    return os.files().LongPath(path, &longPath) ? longPath : path;
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

bool CheckWinVersion(Services& services, const MainSettings& main, const std::string& logPath) {
    platform::Platform& os = services.os;
    const std::string& minVersion = main.MinWinVersion;
    if (minVersion.empty()) return true;

    static const char* const kInvalid =
        "CheckWinVersion() failed. Invalid version '%s' in variable '%s'.\r\n";
    bool failed = false;
    uint32_t major = 0, minor = 0;
    uint16_t spMajor = 0, spMinor = 0;

    // A value of dots only gives no number at all; it is as invalid as one
    // with letters.
    std::vector<uint32_t> numbers;
    if (!ParseNumberList(minVersion, &numbers) || numbers.empty()) {
        services.log.Printf(kInvalid, minVersion.c_str(), "MinWinVersion");
        failed = true;
    } else {
        major = numbers[0];
        minor = numbers.size() > 1 ? numbers[1] : 0;
    }

    const std::string& minServicePack = main.MinWinServicePack;
    bool servicePackInvalid = false;
    if (!minServicePack.empty()) {
        std::vector<uint32_t> sp;
        if (!ParseNumberList(minServicePack, &sp) || sp.empty()) {
            services.log.Printf(kInvalid, minServicePack.c_str(), "MinWinServicePack");
            servicePackInvalid = true;
        } else {
            spMajor = static_cast<uint16_t>(sp[0] & 0xFFFF);
            spMinor = static_cast<uint16_t>(sp.size() > 1 ? sp[1] & 0xFFFF : 0);
        }
    }

    if (failed || servicePackInvalid) {
        services.Error(services.strings.LoadLocalizedString(ids::kInternalError),
                      services.strings.FormatLocalizedString(ids::kLogFileLine,
                                                            LongPathOrSame(os, logPath).c_str()));
        return false;
    }

    if (os.system().VersionAtLeast(major, minor, spMajor, spMinor)) return true;

    std::string message = main.MinWinMessage;
    if (!message.empty()) {
        ReplaceAll(message, "\\r", "\r");
        ReplaceAll(message, "\\n", "\n");
        services.Error(message);
        return false;
    }
    services.Error(services.strings.FormatLocalizedString(
        ids::kWindowsTooOld, WindowsDisplayName(major, minor, spMajor, spMinor).c_str()));
    return false;
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
