// Installs components: one command line per component, started directly
// or through the shell's "runas" verb, waited for while window messages
// keep flowing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "conditions/presence_probes.h"
#include "config/component_descriptors.h"
#include "diagnostics/services.h"

namespace setup {

// The windows the install loop works with: the prerequisites dialog, or
// none in an unattended run.
class PrerequisiteWindows {
public:
    virtual ~PrerequisiteWindows() = default;
    // The owner of the loop's message boxes and of the download dialog.
    virtual platform::WindowRef Owner() = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    // The download dialog for a component whose package is missing:
    // 1 when the component is present now, 2 when cancelled, -1 or 0 when
    // the dialog could not be run.
    virtual int RunDownloadDialog(Component& component) = 0;
};

// Why an install loop stopped before its end, at which component.
struct LoopStop {
    enum class Reason { None, Administrator, Download, Digest };
    std::string component;
    Reason reason = Reason::None;
};

// What installing components did.
struct InstallOutcome {
    bool rebootRequired = false;  // a component returned 3010
    // The last component whose install failed, and its code.
    std::string failedComponent;
    uint32_t failedCode = 0;
    // A component's file did not match its Sha256: it was not run, and the
    // run must not go on.
    bool tampered = false;
    LoopStop stopped;
};

// Installs one component; `errorText` is set for code 2 and for failures.
uint32_t InstallComponent(Services& services, const ComponentDescriptor& component,
                          std::string& errorText);
// `application`: the checked file that the command line starts, or empty.
uint32_t MsiInstall(Services& services, const std::string& commandLine, const std::string& application,
                    int32_t runAs, std::string& errorText);
// 160 when the command cannot be split into program and parameters.
// `checked`: the program is a file whose digest was checked, which skips the
// shell's zone check.
uint32_t RunElevated(Services& services, const std::string& commandLine, bool checked);

// Installs every selected component in list order. A missing
// administrator right, a cancelled download or a file that does not match
// its Sha256 stops the loop; a failed component does not.
void InstallSelectedComponents(Services& services, std::vector<Component>& list,
                               PrerequisiteWindows& windows, bool silent, InstallOutcome& outcome);

// Runs every post-requisite component in order (their results are not
// checked, but for 3010 and a file that does not match its Sha256).
void InstallPostRequisites(Services& services, const ComponentList& list, InstallOutcome& outcome);

}  // namespace setup
