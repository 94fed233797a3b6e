// The media folder as a zip archive, and the content package of a Win32
// app (`.intunewin`) made from it: an archive holding the media's archive
// encrypted (IntuneWinPackage/Contents/IntunePackage.intunewin) and what
// the service needs to decrypt and check it
// (IntuneWinPackage/Metadata/Detection.xml).
#pragma once

#include <string>

#include "checker/archive_tools.h"
#include "checker/deployment.h"
#include "platform/platform.h"

namespace setup::checker {

// Every file under `folder` (the media's, with a backslash at its end),
// sorted by name; false when the folder cannot be read or archived.
bool MediaArchive(ArchiveTools& tools, const std::string& folder, std::string* archive);

// The SHA-256 digest of the bytes, as 64 lower-case hex digits.
std::string Sha256Hex(const std::string& bytes);

struct ContentPackage {
    std::string package;  // the .intunewin file
    std::string upload;   // JSON: the content file's entry and the commit's body
};

// With fresh keys from the system's random source; false when the media
// cannot be archived or the keys or the cipher fail.
bool IntuneContent(ArchiveTools& tools, const std::string& folder, const Deployment& d, ContentPackage* content);

}  // namespace setup::checker
