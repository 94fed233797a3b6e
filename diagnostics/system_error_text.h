#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace setup {

// "Error(%d)'%s'." with the code and the system's text for it, which ends
// every failure entry of the log that has an error code.
std::string SystemErrorText(platform::Platform& os, uint32_t code);

}  // namespace setup
