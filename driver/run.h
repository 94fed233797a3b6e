#pragma once

#include <string>

#include "diagnostics/services.h"
#include "driver/detect.h"
#include "driver/plan.h"
#include "platform/platform.h"

namespace setup {

// Performs one run for the command line (without the program name) and
// returns the process exit code.
int Run(platform::Platform& os, const std::string& commandLine);

// Reads what only the single-instance guard makes safe to read (the
// product's state, then what the plan needs of the components) and plans
// the whole run with it. A plan that stops before reads nothing more.
Plan PlanGuarded(Services& services, Facts& facts);

}  // namespace setup
