// The third step of a run: carries the plan out (boxes, questions,
// installs, the restart) and tells where it stopped and why.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "components/component_installer.h"
#include "diagnostics/services.h"
#include "driver/detect.h"
#include "driver/plan.h"

namespace setup {

struct Outcome {
    int exitCode = 0;
    Stage stage = Stage::Configuration;  // where the run ended
    // The installer's result, or the result of a refusal before the call
    // (3000, 7086, 13 for the package's digest, 1603 without the library);
    // none when the run did not get that far or a person declined.
    std::optional<uint32_t> installerResult;
    std::string failingComponent;  // the last component whose install failed
    uint32_t failingCode = 0;
    LoopStop loopStopped;          // an install loop that ended early
    Question declined = Question::None;
    bool prerequisitesDeclined = false;  // the prerequisites dialog cancelled or not continued
    std::string restart = "none";        // "needed" (not started), "started"
    std::vector<std::string> optionalChosen;
    std::string transform;  // the transform the installer got
};

// `services` are set to the plan's log and levels.
Outcome Apply(Services& services, const Facts& facts, const Plan& plan);

}  // namespace setup
