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

// Installs one component; `errorText` is set for code 2 and for failures.
uint32_t InstallComponent(Services& services, const ComponentDescriptor& component,
                          std::string& errorText);
uint32_t MsiInstall(Services& services, const std::string& commandLine, int32_t runAs,
                    std::string& errorText);
// 160 when the command cannot be split into program and parameters.
uint32_t RunElevated(Services& services, const std::string& commandLine);

// Installs every selected component in list order. A missing
// administrator right or a cancelled download stops the loop; a failed
// component does not. `rebootRequired` is set when a component returns 3010.
void InstallSelectedComponents(Services& services, std::vector<Component>& list,
                               PrerequisiteWindows& windows, bool silent, bool& rebootRequired);

// Runs every post-requisite component in order; a component that returns
// 3010 sets `restart`.
void InstallPostRequisites(Services& services, bool& restart);

}  // namespace setup
