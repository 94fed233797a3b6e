// One binding of msi.dll: the library, loaded from the system folder, and
// its fifteen entries, looked up by name. The library is never linked.
#pragma once

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include "platform/platform.h"
#include "win32/unique_handles.h"

namespace platform::win32 {

class Win32InstallerLibrary final : public InstallerLibrary {
public:
    Win32InstallerLibrary();

    bool IsComplete() override;
    int SetInternalUI(int level) override;
    GuardedCall InstallProduct(const std::string& package,
                               const std::string& commandLine) override;
    GuardedCall ApplyPatch(const std::string& patch, const std::string* installPackage,
                           int installType, const std::string& commandLine) override;
    uint32_t EnableLog(uint32_t mode, const std::string& path, uint32_t attributes) override;
    int QueryProductState(const std::string& productCode) override;
    uint32_t ProductInfo(const std::string& productCode, const std::string& property,
                         size_t bufferSize, std::string* value) override;
    PackageInfo ReadPackage(const std::string& path) override;

private:
    // A value of the Property table, when it fits PackageInfo::kValueBuffer.
    std::optional<std::string> Property(MSIHANDLE database, const char* name);

    // Declared first: freed last, after nothing can call into it.
    UniqueModule library_;
    bool complete_ = false;

    decltype(&::MsiSetInternalUI) setInternalUI_ = nullptr;
    decltype(&::MsiInstallProductW) installProduct_ = nullptr;
    decltype(&::MsiApplyPatchW) applyPatch_ = nullptr;
    decltype(&::MsiReinstallProductW) reinstallProduct_ = nullptr;
    decltype(&::MsiQueryProductStateW) queryProductState_ = nullptr;
    decltype(&::MsiOpenDatabaseW) openDatabase_ = nullptr;
    decltype(&::MsiDatabaseOpenViewW) openView_ = nullptr;
    decltype(&::MsiViewExecute) viewExecute_ = nullptr;
    decltype(&::MsiViewFetch) viewFetch_ = nullptr;
    decltype(&::MsiRecordGetStringW) recordGetString_ = nullptr;
    decltype(&::MsiCloseHandle) closeHandle_ = nullptr;
    decltype(&::MsiGetProductInfoW) getProductInfo_ = nullptr;
    decltype(&::MsiEnableLogW) enableLog_ = nullptr;
    decltype(&::MsiGetSummaryInformationW) getSummaryInformation_ = nullptr;
    decltype(&::MsiSummaryInfoGetPropertyW) summaryInfoGetProperty_ = nullptr;
};

}  // namespace platform::win32
