// What the main package says about itself and the installed state of its
// product, read once through the Windows Installer library.
#pragma once

#include <string>

#include "platform/codes.h"
#include "platform/platform.h"

namespace setup {

struct PackageFacts {
    // ProductName, ProductVersion and the summary's Template were all read:
    // what a product run needs to go on.
    bool read = false;
    std::string productName, productVersion, summaryTemplate, productCode;
    // The installed state of its product (asked only when the package gave
    // its code and version), and the installed version against the
    // package's: -1, 0 or 1 (an installed product only; -1 when the
    // installed version cannot be read).
    int state = -1;
    int relation = 0;

    bool Installed() const { return state == codes::kStateInstalled; }
    bool Advertised() const { return state == codes::kStateAdvertised; }
};

// Reads the package.
PackageFacts ReadPackageFacts(platform::InstallerLibrary& msi, const std::string& path);
// Asks for the installed state of the package's product.
void ReadProductState(platform::InstallerLibrary& msi, PackageFacts& package);

}  // namespace setup
