#include "product/msi_library.h"

#include "conditions/version_strings.h"
#include "platform/codes.h"

namespace setup {
namespace {

const char* const kSqlProductCode =
    "SELECT `Value` FROM `Property` WHERE `Property`='ProductCode'";
const char* const kSqlProductVersion =
    "SELECT `Value` FROM `Property` WHERE `Property`='ProductVersion'";
const char* const kSqlProductName =
    "SELECT `Value` FROM `Property` WHERE `Property`='ProductName'";

constexpr unsigned kSummaryTemplate = 7;
constexpr size_t kTemplateBufferSize = 64;

// Closes an installer handle when the scope ends.
class HandleCloser {
public:
    HandleCloser(platform::InstallerLibrary& msi, uint32_t& handle) : msi_(msi), handle_(handle) {}
    ~HandleCloser() {
        if (handle_ != 0) msi_.CloseInstallerHandle(handle_);
    }
    HandleCloser(const HandleCloser&) = delete;
    HandleCloser& operator=(const HandleCloser&) = delete;

private:
    platform::InstallerLibrary& msi_;
    uint32_t& handle_;
};

}  // namespace

bool QueryPackageValue(platform::InstallerLibrary& msi, uint32_t database, const std::string& sql,
                       std::string* value) {
    uint32_t view = 0, record = 0;
    HandleCloser closeView(msi, view), closeRecord(msi, record);
    if (msi.OpenView(database, sql, &view) != codes::kSuccess) return false;
    if (msi.ViewExecute(view) != codes::kSuccess) return false;
    if (msi.ViewFetch(view, &record) != codes::kSuccess) return false;
    std::string text;
    if (msi.RecordString(record, 1, kPackageValueBufferSize, &text) != codes::kSuccess) return false;
    *value = text;
    return true;
}

bool QueryPackageProduct(platform::Platform& os, const std::string& packagePath, bool* advertised,
                         int* relation) {
    MsiLibrary msi;
    msi.Bind(os);
    if (!msi.IsComplete()) return false;

    uint32_t database = 0;
    HandleCloser closeDatabase(*msi, database);
    if (msi->OpenDatabase(packagePath, &database) != codes::kSuccess) return false;

    std::string productCode, packageVersionText;
    if (!QueryPackageValue(*msi, database, kSqlProductCode, &productCode)) return false;
    if (!QueryPackageValue(*msi, database, kSqlProductVersion, &packageVersionText)) return false;
    const VersionValue packageVersion = ParseVersionValue(packageVersionText);

    const int state = msi->QueryProductState(productCode);
    if (advertised != nullptr) *advertised = state == codes::kStateAdvertised;
    if (state != codes::kStateInstalled) return false;

    if (relation != nullptr) {
        std::string installed;
        if (msi->ProductInfo(productCode, "VersionString", kPackageValueBufferSize, &installed) !=
            codes::kSuccess) {
            *relation = -1;
        } else {
            *relation = CompareVersionValues(ParseVersionValue(installed), packageVersion);
        }
    }
    return true;
}

bool ReadPackageProperties(platform::Platform& os, const std::string& packagePath,
                           PackageProperties& properties) {
    MsiLibrary msi;
    msi.Bind(os);
    if (!msi.IsComplete()) return false;

    uint32_t database = 0, summary = 0;
    HandleCloser closeDatabase(*msi, database), closeSummary(*msi, summary);
    if (msi->OpenDatabase(packagePath, &database) != codes::kSuccess) return false;
    if (!QueryPackageValue(*msi, database, kSqlProductName, &properties.productName)) return false;
    if (!QueryPackageValue(*msi, database, kSqlProductVersion, &properties.productVersion)) {
        return false;
    }
    if (msi->SummaryInformation(database, &summary) != codes::kSuccess) return false;
    std::string templateText;
    if (msi->SummaryString(summary, kSummaryTemplate, kTemplateBufferSize, &templateText) !=
        codes::kSuccess) {
        return false;
    }
    properties.summaryTemplate = templateText;
    return true;
}

}  // namespace setup
