// Questions about the machine and the user, asked before anything is
// installed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "config/configuration.h"
#include "diagnostics/services.h"

namespace setup {

constexpr size_t kMaxObjectName = 260;
constexpr const char* kSingleInstancePrefix =
    "Global\\_KESETUP_{242BA512-C2FD-4f14-B947-E0D6B9D288DE}";

bool IsNativeX86(platform::Platform& os);

// The platform part of a Template such as "x64;1033": the text before the
// first ";", when there is one after at least one character.
std::string PackagePlatform(const std::string& summaryTemplate);
// A platform that ends in "64" (all of it when shorter).
bool IsPlatform64(const std::string& packagePlatform);
bool IsWindows5OrLater(platform::Platform& os);

// The single-instance guard's name for a suffix. A backslash is not allowed
// in an object name after the namespace prefix, so it becomes "/" (which
// names the same package path); a name too long for an object name uses a
// hash of the suffix instead.
std::string SingleInstanceName(const std::string& suffix);

// Opens the guard into `guard`; true when another instance holds it or it
// cannot be created.
bool AcquireSingleInstance(platform::Platform& os, const std::string& suffix,
                           std::unique_ptr<platform::Held>& guard);

// True when the machine meets MinWinVersion and MinWinServicePack (or none
// is set); false after the reason was reported (a configuration error
// names the log file).
bool CheckWinVersion(Services& services, const MainSettings& main, const std::string& logPath);

// "'Windows XP'", "'Windows 6.4'", with the service-pack text when the
// service-pack major is not 0.
std::string WindowsDisplayName(uint32_t major, uint32_t minor, uint16_t spMajor, uint16_t spMinor);

// The long form of a path, or the path itself when there is none.
std::string LongPathOrSame(platform::Platform& os, const std::string& path);

}  // namespace setup
