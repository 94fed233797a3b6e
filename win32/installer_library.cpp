#include "win32/installer_library.h"

#include <algorithm>
#include <cwchar>
#include <optional>
#include <vector>

#include "win32/code_page.h"
#include "win32/system_library.h"
#include "win32/win32_platform.h"

namespace platform::win32 {
namespace {

// Result of any call on a binding that is not complete; the core checks
// IsComplete first and never gets here.
constexpr uint32_t kNotBound = ERROR_INVALID_FUNCTION;

DWORD AnnouncedSize(size_t bufferSize) {
    return static_cast<DWORD>(std::min<size_t>(bufferSize, MAXDWORD));
}

// Calls a string getter of the library with a zeroed buffer of bufferSize
// characters, announcing bufferSize; the value is taken only on success.
template <typename Getter>
uint32_t ReadString(size_t bufferSize, std::string* value, Getter getter) {
    std::vector<wchar_t> buffer(std::max<size_t>(bufferSize, 1), L'\0');
    DWORD size = AnnouncedSize(bufferSize);
    const UINT result = getter(buffer.data(), &size);
    if (result == ERROR_SUCCESS) {
        *value = Narrow(buffer.data(), wcsnlen(buffer.data(), bufferSize));
    }
    return result;
}

}  // namespace

std::unique_ptr<InstallerLibrary> Win32Installer::Bind() {
    return std::make_unique<Win32InstallerLibrary>();
}

Win32InstallerLibrary::Win32InstallerLibrary() : library_(LoadSystemLibrary("msi.dll")) {
    if (!library_) return;
    const HMODULE msi = library_.get();
    bool all = true;
    all &= BindEntry(msi, "MsiSetInternalUI", &setInternalUI_);
    all &= BindEntry(msi, "MsiInstallProductW", &installProduct_);
    all &= BindEntry(msi, "MsiApplyPatchW", &applyPatch_);
    all &= BindEntry(msi, "MsiReinstallProductW", &reinstallProduct_);
    all &= BindEntry(msi, "MsiQueryProductStateW", &queryProductState_);
    all &= BindEntry(msi, "MsiOpenDatabaseW", &openDatabase_);
    all &= BindEntry(msi, "MsiDatabaseOpenViewW", &openView_);
    all &= BindEntry(msi, "MsiViewExecute", &viewExecute_);
    all &= BindEntry(msi, "MsiViewFetch", &viewFetch_);
    all &= BindEntry(msi, "MsiRecordGetStringW", &recordGetString_);
    all &= BindEntry(msi, "MsiCloseHandle", &closeHandle_);
    all &= BindEntry(msi, "MsiGetProductInfoW", &getProductInfo_);
    all &= BindEntry(msi, "MsiEnableLogW", &enableLog_);
    all &= BindEntry(msi, "MsiGetSummaryInformationW", &getSummaryInformation_);
    all &= BindEntry(msi, "MsiSummaryInfoGetPropertyW", &summaryInfoGetProperty_);
    complete_ = all;
}

bool Win32InstallerLibrary::IsComplete() { return complete_; }

int Win32InstallerLibrary::SetInternalUI(int level) {
    if (!complete_) return INSTALLUILEVEL_NOCHANGE;
    return setInternalUI_(static_cast<INSTALLUILEVEL>(level), nullptr);
}

int Win32InstallerLibrary::QueryProductState(const std::string& productCode) {
    if (!complete_) return INSTALLSTATE_UNKNOWN;
    return queryProductState_(Wide(productCode));
}

uint32_t Win32InstallerLibrary::ProductInfo(const std::string& productCode,
                                            const std::string& property, size_t bufferSize,
                                            std::string* value) {
    if (!complete_) return kNotBound;
    const Wide code(productCode), name(property);
    return ReadString(bufferSize, value, [&](wchar_t* buffer, DWORD* size) {
        return getProductInfo_(code, name, buffer, size);
    });
}

uint32_t Win32InstallerLibrary::EnableLog(uint32_t mode, const std::string& path,
                                          uint32_t attributes) {
    if (!complete_) return kNotBound;
    return enableLog_(mode, Wide(path), attributes);
}

namespace {

constexpr UINT kSummaryRevisionNumber = 9;  // PID_REVNUMBER
constexpr UINT kSummaryTemplate = 7;        // PID_TEMPLATE
constexpr UINT kSummaryPageCount = 14;      // PID_PAGECOUNT: the schema
constexpr UINT kSummaryWordCount = 15;      // PID_WORDCOUNT
// MSIDBOPEN_READONLY, and with MSIDBOPEN_PATCHFILE, which the headers spell
// as pointer arithmetic on a null pointer.
const LPCWSTR kOpenReadOnly = nullptr;
const LPCWSTR kOpenPatchReadOnly = reinterpret_cast<LPCWSTR>(static_cast<uintptr_t>(32));

}  // namespace

std::optional<std::string> Win32InstallerLibrary::Property(MSIHANDLE database, const char* name) {
    const std::string sql = std::string("SELECT `Value` FROM `Property` WHERE `Property`='") + name + "'";
    // Declared in this order, the record is closed before the view.
    UniqueInstallerHandle view(0, {closeHandle_}), record(0, {closeHandle_});
    MSIHANDLE handle = 0;
    if (openView_(database, Wide(sql), &handle) != ERROR_SUCCESS) return std::nullopt;
    view.reset(handle);
    if (viewExecute_(view.get(), 0) != ERROR_SUCCESS) return std::nullopt;  // no parameter record
    if (viewFetch_(view.get(), &handle) != ERROR_SUCCESS) return std::nullopt;
    record.reset(handle);
    std::string value;
    if (ReadString(PackageInfo::kValueBuffer, &value, [&](wchar_t* buffer, DWORD* size) {
            return recordGetString_(record.get(), 1, buffer, size);
        }) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

PackageInfo Win32InstallerLibrary::ReadPackage(const std::string& path) {
    PackageInfo info;
    if (!complete_) return info;
    MSIHANDLE handle = 0;
    const Wide file(path);
    if (openDatabase_(file, kOpenReadOnly, &handle) != ERROR_SUCCESS) {
        // A patch is no database of its own: it opens only as a patch file.
        if (openDatabase_(file, kOpenPatchReadOnly, &handle) !=
            ERROR_SUCCESS) {
            return info;
        }
        info.patch = true;
    }
    const UniqueInstallerHandle database(handle, {closeHandle_});
    info.opened = true;
    info.productCode = Property(database.get(), "ProductCode");
    info.productVersion = Property(database.get(), "ProductVersion");
    info.productName = Property(database.get(), "ProductName");
    info.allUsers = Property(database.get(), "ALLUSERS");
    info.manufacturer = Property(database.get(), "Manufacturer");
    info.upgradeCode = Property(database.get(), "UpgradeCode");
    info.msiInstallPerUser = Property(database.get(), "MSIINSTALLPERUSER");

    if (getSummaryInformation_(database.get(), nullptr, 0, &handle) != ERROR_SUCCESS) return info;
    const UniqueInstallerHandle summary(handle, {closeHandle_});
    const auto text = [&](UINT property, size_t bufferSize) -> std::optional<std::string> {
        std::string value;
        if (ReadString(bufferSize, &value, [&](wchar_t* buffer, DWORD* size) {
                UINT type = 0;
                return summaryInfoGetProperty_(summary.get(), property, &type, nullptr, nullptr,
                                               buffer, size);
            }) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        return value;
    };
    const auto number = [&](UINT property) {
        UINT type = 0;
        INT value = 0;
        DWORD size = 0;
        return summaryInfoGetProperty_(summary.get(), property, &type, &value, nullptr, nullptr,
                                       &size) == ERROR_SUCCESS
                   ? value
                   : 0;
    };
    info.summaryTemplate = text(kSummaryTemplate, PackageInfo::kTemplateBuffer);
    info.revisionNumber = text(kSummaryRevisionNumber, PackageInfo::kValueBuffer);
    info.schema = number(kSummaryPageCount);
    info.wordCount = number(kSummaryWordCount);
    return info;
}

}  // namespace platform::win32
