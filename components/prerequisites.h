// The prerequisites stage: the missing components, listed and installed
// before the product.
#pragma once

#include <string>
#include <vector>

#include "components/component_installer.h"
#include "diagnostics/services.h"
#include "product/package.h"

namespace setup {

// What the prerequisites stage did.
struct PrerequisiteOutcome : InstallOutcome {
    // The components with a check box that were chosen: ticked in the
    // dialog and installed, or every selected one unattended. None when
    // the dialog was cancelled.
    std::vector<std::string> optionalChosen;
};

// Lists the offered components of `planned` (as the plan left them) and
// installs them: through the dialog at the full level, else unattended.
// 1: go on with the product; 0: the user refused to continue (or a file
// did not match its Sha256); 2: the user cancelled; -1: the dialog could
// not be created. `caption` is the dialogs' and questions'.
int RunPrerequisites(Services& services, const std::vector<Component>& planned, const PackageFacts& package,
                     const std::string& caption, bool stopAtRestart, PrerequisiteOutcome& outcome);

}  // namespace setup
