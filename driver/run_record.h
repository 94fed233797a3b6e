// The result record that a deployment tool may ask for ("/record <path>"):
// how the run ended, as a small UTF-8 JSON file written at its end.
#pragma once

#include <string>

#include "driver/apply.h"

namespace setup {

// The record as JSON.
std::string RecordJson(const Outcome& outcome, const std::string& logPath);

}  // namespace setup
