#include "win32/installer_library.h"

#include <algorithm>
#include <cstring>
#include <vector>

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
    std::vector<char> buffer(std::max<size_t>(bufferSize, 1), '\0');
    DWORD size = AnnouncedSize(bufferSize);
    const UINT result = getter(buffer.data(), &size);
    if (result == ERROR_SUCCESS) {
        *value = std::string(buffer.data(), strnlen(buffer.data(), bufferSize));
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
    all &= BindEntry(msi, "MsiInstallProductA", &installProduct_);
    all &= BindEntry(msi, "MsiApplyPatchA", &applyPatch_);
    all &= BindEntry(msi, "MsiReinstallProductA", &reinstallProduct_);
    all &= BindEntry(msi, "MsiQueryProductStateA", &queryProductState_);
    all &= BindEntry(msi, "MsiOpenDatabaseA", &openDatabase_);
    all &= BindEntry(msi, "MsiDatabaseOpenViewA", &openView_);
    all &= BindEntry(msi, "MsiViewExecute", &viewExecute_);
    all &= BindEntry(msi, "MsiViewFetch", &viewFetch_);
    all &= BindEntry(msi, "MsiRecordGetStringA", &recordGetString_);
    all &= BindEntry(msi, "MsiCloseHandle", &closeHandle_);
    all &= BindEntry(msi, "MsiGetProductInfoA", &getProductInfo_);
    all &= BindEntry(msi, "MsiEnableLogA", &enableLog_);
    all &= BindEntry(msi, "MsiGetSummaryInformationA", &getSummaryInformation_);
    all &= BindEntry(msi, "MsiSummaryInfoGetPropertyA", &summaryInfoGetProperty_);
    complete_ = all;
}

bool Win32InstallerLibrary::IsComplete() { return complete_; }

int Win32InstallerLibrary::SetInternalUI(int level) {
    if (!complete_) return INSTALLUILEVEL_NOCHANGE;
    return setInternalUI_(static_cast<INSTALLUILEVEL>(level), nullptr);
}

int Win32InstallerLibrary::QueryProductState(const std::string& productCode) {
    if (!complete_) return INSTALLSTATE_UNKNOWN;
    return queryProductState_(productCode.c_str());
}

uint32_t Win32InstallerLibrary::OpenDatabase(const std::string& path, uint32_t* database) {
    if (!complete_) return kNotBound;
    MSIHANDLE handle = 0;
    const UINT result = openDatabase_(path.c_str(), MSIDBOPEN_READONLY, &handle);
    if (result == ERROR_SUCCESS) *database = handle;
    return result;
}

uint32_t Win32InstallerLibrary::ProductInfo(const std::string& productCode,
                                            const std::string& property, size_t bufferSize,
                                            std::string* value) {
    if (!complete_) return kNotBound;
    return ReadString(bufferSize, value, [&](char* buffer, DWORD* size) {
        return getProductInfo_(productCode.c_str(), property.c_str(), buffer, size);
    });
}

uint32_t Win32InstallerLibrary::EnableLog(uint32_t mode, const std::string& path,
                                          uint32_t attributes) {
    if (!complete_) return kNotBound;
    return enableLog_(mode, path.c_str(), attributes);
}

bool Win32InstallerLibrary::PropertyValue(uint32_t database, const std::string& property,
                                          size_t bufferSize, std::string* value) {
    if (!complete_) return false;
    const std::string sql = "SELECT `Value` FROM `Property` WHERE `Property`='" + property + "'";
    // Declared in this order, the record is closed before the view.
    UniqueInstallerHandle view(0, {closeHandle_}), record(0, {closeHandle_});
    MSIHANDLE handle = 0;
    if (openView_(database, sql.c_str(), &handle) != ERROR_SUCCESS) return false;
    view.reset(handle);
    if (viewExecute_(view.get(), 0) != ERROR_SUCCESS) return false;  // no parameter record
    if (viewFetch_(view.get(), &handle) != ERROR_SUCCESS) return false;
    record.reset(handle);
    return ReadString(bufferSize, value, [&](char* buffer, DWORD* size) {
               return recordGetString_(record.get(), 1, buffer, size);
           }) == ERROR_SUCCESS;
}

bool Win32InstallerLibrary::SummaryString(uint32_t database, unsigned property, size_t bufferSize,
                                          std::string* value) {
    if (!complete_) return false;
    MSIHANDLE handle = 0;
    if (getSummaryInformation_(database, nullptr, 0, &handle) != ERROR_SUCCESS) return false;
    const UniqueInstallerHandle summary(handle, {closeHandle_});
    return ReadString(bufferSize, value, [&](char* buffer, DWORD* size) {
               UINT type = 0;
               return summaryInfoGetProperty_(summary.get(), property, &type, nullptr, nullptr,
                                              buffer, size);
           }) == ERROR_SUCCESS;
}

void Win32InstallerLibrary::CloseDatabase(uint32_t database) {
    if (complete_ && database != 0) closeHandle_(database);
}

}  // namespace platform::win32
