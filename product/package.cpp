#include "product/package.h"

#include "config/version_strings.h"

namespace setup {

PackageFacts ReadPackageFacts(platform::InstallerLibrary& msi, const std::string& path) {
    PackageFacts facts;
    if (!msi.IsComplete()) return facts;
    const platform::PackageInfo info = msi.ReadPackage(path);
    facts.read = info.productName && info.productVersion && info.summaryTemplate;
    facts.productName = info.productName.value_or("");
    facts.productVersion = info.productVersion.value_or("");
    facts.summaryTemplate = info.summaryTemplate.value_or("");
    facts.productCode = info.productCode.value_or("");
    return facts;
}

void ReadProductState(platform::InstallerLibrary& msi, PackageFacts& facts) {
    if (!msi.IsComplete() || facts.productCode.empty() || facts.productVersion.empty()) return;
    facts.state = msi.QueryProductState(facts.productCode);
    if (!facts.Installed()) return;
    std::string installed;
    facts.relation = msi.ProductInfo(facts.productCode, "VersionString", platform::PackageInfo::kValueBuffer,
                                     &installed) != codes::kSuccess
                         ? -1
                         : CompareVersionValues(ParseVersionValue(installed), ParseVersionValue(facts.productVersion));
}

}  // namespace setup
