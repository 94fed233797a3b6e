#pragma once

#include <string>

#include "platform/platform.h"

namespace setup {

// Performs one run for the command line (without the program name) and
// returns the process exit code.
int Run(platform::Platform& os, const std::string& commandLine);

}  // namespace setup
