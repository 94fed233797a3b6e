// The result record that a deployment tool may ask for ("/record <path>"):
// how the run ended, as a small UTF-8 JSON file written at its end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace setup {

struct RunRecord {
    int exitCode = 0;
    std::string stage;  // the stage the run ended at
    std::string failingComponent;
    uint32_t failingCode = 0;
    bool installerCalled = false;
    uint32_t installerResult = 0;
    std::string restart = "none";  // "needed" (declined), "started"
    std::vector<std::string> optionalChosen;
    std::string transform;
    std::string logPath;
};

// The record as JSON; the texts, in the system code page, become UTF-8.
std::string RecordJson(const RunRecord& record, platform::System& system);

}  // namespace setup
