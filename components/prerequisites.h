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
    std::vector<std::string> optionalChosen;  // components with a ticked check box
};

// Probes the prerequisites (`sections`, their installers resolved) and
// lists and installs the missing ones. 1: go on with the product; 0: the
// user refused to continue (or a file did not match its Sha256); 2: the
// user cancelled; -1: the dialog could not be created. `caption` is the
// dialogs' and questions'.
int RunPrerequisites(Services& services, const ComponentList& sections, const PackageFacts& package,
                     const std::string& caption, PrerequisiteOutcome& outcome);

}  // namespace setup
