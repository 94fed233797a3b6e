// The Windows Installer library, bound at run time, and the read-only
// queries of a package.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"
#include "product/package_properties.h"

namespace setup {

// One binding of msi.dll; usable only when the library and all fifteen
// entries are present.
class MsiLibrary {
public:
    explicit MsiLibrary(platform::Platform& os) : library_(os.installer().Bind()) {}
    bool IsComplete() const { return library_ && library_->IsComplete(); }
    platform::InstallerLibrary& operator*() const { return *library_; }
    platform::InstallerLibrary* operator->() const { return library_.get(); }

private:
    std::unique_ptr<platform::InstallerLibrary> library_;
};

// Values read from a package are limited to a buffer of this size; the
// summary's Template (its property 7) to a smaller one.
constexpr size_t kPackageValueBufferSize = 260;
constexpr unsigned kSummaryTemplate = 7;
constexpr size_t kTemplateBufferSize = 64;

// True when the product of the package is installed. `advertised` is set
// when asked for; `relation` (installed version against the package's:
// -1, 0, 1) only for an installed product.
bool QueryPackageProduct(platform::Platform& os, const std::string& packagePath,
                         bool* advertised = nullptr, int* relation = nullptr);

// Reads ProductName, ProductVersion and the summary Template into
// `properties`; a value read stays stored even when a later step fails.
bool ReadPackageProperties(platform::Platform& os, const std::string& packagePath,
                           PackageProperties& properties);

}  // namespace setup
