#include "product/msi_library.h"

#include "config/version_strings.h"
#include "platform/codes.h"

namespace setup {
namespace {

// The package opened for the queries of one function, closed at its end.
class OpenPackage {
public:
    OpenPackage(platform::InstallerLibrary& msi, const std::string& path) : msi_(msi) {
        opened_ = msi.OpenDatabase(path, &database_) == codes::kSuccess;
    }
    ~OpenPackage() {
        if (opened_) msi_.CloseDatabase(database_);
    }
    OpenPackage(const OpenPackage&) = delete;
    OpenPackage& operator=(const OpenPackage&) = delete;

    bool opened() const { return opened_; }
    bool Property(const char* name, std::string* value) {
        return msi_.PropertyValue(database_, name, kPackageValueBufferSize, value);
    }
    bool Template(std::string* value) {
        return msi_.SummaryString(database_, kSummaryTemplate, kTemplateBufferSize, value);
    }

private:
    platform::InstallerLibrary& msi_;
    uint32_t database_ = 0;
    bool opened_ = false;
};

}  // namespace

bool QueryPackageProduct(platform::Platform& os, const std::string& packagePath, bool* advertised,
                         int* relation) {
    MsiLibrary msi(os);
    if (!msi.IsComplete()) return false;
    OpenPackage package(*msi, packagePath);
    std::string productCode, packageVersion;
    if (!package.opened() || !package.Property("ProductCode", &productCode) ||
        !package.Property("ProductVersion", &packageVersion)) {
        return false;
    }
    const int state = msi->QueryProductState(productCode);
    if (advertised != nullptr) *advertised = state == codes::kStateAdvertised;
    if (state != codes::kStateInstalled) return false;

    if (relation != nullptr) {
        std::string installed;
        *relation = msi->ProductInfo(productCode, "VersionString", kPackageValueBufferSize,
                                     &installed) != codes::kSuccess
                        ? -1
                        : CompareVersionValues(ParseVersionValue(installed),
                                               ParseVersionValue(packageVersion));
    }
    return true;
}

bool ReadPackageProperties(platform::Platform& os, const std::string& packagePath,
                           PackageProperties& properties) {
    MsiLibrary msi(os);
    if (!msi.IsComplete()) return false;
    OpenPackage package(*msi, packagePath);
    return package.opened() && package.Property("ProductName", &properties.productName) &&
           package.Property("ProductVersion", &properties.productVersion) &&
           package.Template(&properties.summaryTemplate);
}

}  // namespace setup
