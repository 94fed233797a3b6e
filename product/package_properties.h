#pragma once

#include <string>

namespace setup {

// The main package's properties, read once the package is known and shown
// in captions, messages and the default log name.
struct PackageProperties {
    std::string productName;
    std::string productVersion;
    std::string summaryTemplate;  // "platform;languages", at most 63 characters
};

}  // namespace setup
