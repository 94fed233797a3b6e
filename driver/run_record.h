// The result record that a deployment tool may ask for ("/record <path>"):
// how the run ended, as a small UTF-8 JSON file written at its end.
#pragma once

#include <string>

#include "driver/apply.h"
#include "platform/platform.h"

namespace setup {

// The record as JSON; the texts, in the system code page, become UTF-8.
std::string RecordJson(const Outcome& outcome, const std::string& logPath, platform::System& system);

}  // namespace setup
