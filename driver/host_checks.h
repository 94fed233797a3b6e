// What the run asks of the machine and the user before anything is
// installed, as rules on the facts that detect read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/configuration.h"

namespace setup {

constexpr size_t kMaxObjectName = 260;
constexpr const char* kSingleInstancePrefix =
    "Global\\_KESETUP_{242BA512-C2FD-4f14-B947-E0D6B9D288DE}";

// The platform part of a Template such as "x64;1033": the text before the
// first ";", when there is one after at least one character.
std::string PackagePlatform(const std::string& summaryTemplate);
// A platform that ends in "64" (all of it when shorter).
bool IsPlatform64(const std::string& packagePlatform);

// The single-instance guard's name for a suffix. A backslash is not allowed
// in an object name after the namespace prefix, so it becomes "/" (which
// names the same package path); a name too long for an object name uses a
// hash of the suffix instead.
std::string SingleInstanceName(const std::string& suffix);

// MinWinVersion and MinWinServicePack read as numbers.
struct MinimumWindows {
    bool set = false;                // MinWinVersion is given
    std::vector<std::string> errors;  // a log entry for each value that is no version
    uint32_t major = 0, minor = 0;
    uint16_t spMajor = 0, spMinor = 0;
    bool Valid() const { return errors.empty(); }
};
MinimumWindows ParseMinimumWindows(const MainSettings& main);

// "'Windows XP'", "'Windows 6.4'", with the service-pack text when the
// service-pack major is not 0.
std::string WindowsDisplayName(uint32_t major, uint32_t minor, uint16_t spMajor, uint16_t spMinor);

}  // namespace setup
