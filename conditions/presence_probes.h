// Whether a prerequisite component is missing: the Windows filters, then
// exactly one probe (file version, own package, registry conditions or a
// condition program).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/component_descriptors.h"
#include "config/version_strings.h"
#include "diagnostics/services.h"

namespace setup {

// What probing found out about a component.
struct Finding {
    // Filtered: a Windows filter (OSbit, OSver) leaves it out.
    enum class Verdict { Filtered, Present, Missing };
    Verdict verdict = Verdict::Present;
    // A condition program that made it missing (exit code 0 or 2) chooses
    // its check box: ticked for 0; for 2 unticked, with its output shown.
    bool programChose = false;
    OptionalState optional = OptionalState::Checked;
    std::string programText;
    std::vector<std::string> evidence;  // what the probes looked at and saw
};

Finding ProbeComponent(Services& services, const ComponentDescriptor& component);

// The presence probes a component sets, in the order they count: FilePath,
// MsiProd, the registry conditions, RunExeCond. Only the first decides.
enum class Probe { FileVersion, OwnPackage, Registry, Program };
std::vector<Probe> ProbesSet(const ComponentDescriptor& component);

// True when the file has a version resource of at least `required` (and
// loads as a library, when asked).
bool IsValidFileVersion(Services& services, const std::string& path, const VersionValue& required,
                        int32_t tryLoad);

// Runs a condition program ("#Root#" replaced) and captures its exit code
// and output. NoPipe: no pipe could be made for its output; Failed: it
// could not be started or its output not read.
enum class ExeRun { Answered, NoPipe, Failed };
ExeRun RunExe(Services& services, const std::string& command, uint32_t* exitCode, std::string* output);

}  // namespace setup
