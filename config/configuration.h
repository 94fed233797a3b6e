// The configuration file beside the program (its own path with ".ini"),
// read through the initialization-file functions, never written, never
// cached: every read sees the file as it is now.
#pragma once

#include <string>

#include "platform/platform.h"

namespace setup {

struct Session;

constexpr const char* kMainSection = "Main";

// With `withoutExtension`: the program's path without its last "." and what
// follows. Otherwise its folder, with a trailing "\" when `appendBackslash`.
std::string GetModulePath(platform::Platform& os, bool withoutExtension, bool appendBackslash);
std::string GetIniPath(platform::Platform& os);

std::string GetIniString(platform::Platform& os, const std::string& section,
                         const std::string& key, const std::string& fallback = std::string());
int GetIniInt(platform::Platform& os, const std::string& section, const std::string& key,
              int fallback);
// -1 when no line of the section begins with "Optional"; otherwise the
// key's integer value.
int GetIniIntIfPresent(platform::Platform& os, const std::string& section,
                       const std::string& key, int fallback);

// The display name and version: from [Main] (Name, VersionTarget) when
// `fromConfiguration`, otherwise the main package's properties.
std::string GetProductName(Session& session, bool fromConfiguration);
std::string GetProductVersion(Session& session, bool fromConfiguration);

}  // namespace setup
