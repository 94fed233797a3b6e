// The two calls that run the Windows Installer for the product. They are
// kept apart so that a guard against a crash inside the library can wrap
// exactly these calls.
#include "platform/win32/installer_library.h"

namespace platform::win32 {

uint32_t Win32InstallerLibrary::InstallProduct(const std::string& package,
                                               const std::string& commandLine) {
    if (!complete_) return ERROR_INSTALL_FAILURE;
    return installProduct_(package.c_str(), commandLine.c_str());
}

uint32_t Win32InstallerLibrary::ApplyPatch(const std::string& patch,
                                           const std::string* installPackage, int installType,
                                           const std::string& commandLine) {
    if (!complete_) return ERROR_INSTALL_FAILURE;
    return applyPatch_(patch.c_str(), installPackage != nullptr ? installPackage->c_str() : nullptr,
                       static_cast<INSTALLTYPE>(installType), commandLine.c_str());
}

}  // namespace platform::win32
