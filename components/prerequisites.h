// The prerequisites stage: the missing components, listed and installed
// before the product.
#pragma once

#include <string>

#include "diagnostics/services.h"
#include "product/package_properties.h"

namespace setup {

// 1: go on with the product; 0: the user refused to continue; 2: the user
// cancelled; -1: the dialog could not be created. `restart` tells whether a
// component asked for a restart. `caption` is the dialogs' and questions'.
int RunPrerequisites(Services& services, const PackageProperties& package,
                     const std::string& caption, bool& restart);

}  // namespace setup
