// Whether a prerequisite component is missing: the Windows filters, then
// exactly one probe (file version, own package, registry conditions or a
// condition program).
#pragma once

#include <cstdint>
#include <string>

#include "conditions/version_strings.h"
#include "config/component_descriptors.h"

namespace setup {

struct Session;

// True when the component must be installed. Leaves its findings in the
// descriptor (Present; for a condition program also optionalState,
// Selected and RunExeText).
bool IsComponentNeeded(Session& session, ComponentDescriptor& component);

// True when the file has a version resource of at least `required` (and
// loads as a library, when asked).
bool IsValidFileVersion(Session& session, const std::string& path, const VersionValue& required,
                        int32_t tryLoad);

// Runs a condition program ("#Root#" replaced) and captures its exit code
// and output; false when it could not be run or read.
bool RunExe(Session& session, const std::string& command, uint32_t* exitCode, std::string* output);

// Replaces "#System#", "#CommonProgramFiles#" and "#Root#" in a path.
void ReplacePathMacros(Session& session, std::string& text);

// Whether a file search for the path (a pattern) finds anything.
bool FileExists(Session& session, const std::string& path);

}  // namespace setup
