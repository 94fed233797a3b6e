// The third step of a run: carries the plan out (boxes, questions,
// installs, the restart) and tells where it stopped and why.
#pragma once

#include <cstdint>
#include <memory>
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
    // (3000, 7086, 1603 without the library); none when the installer was
    // not called for another reason or a person declined.
    std::optional<uint32_t> installerResult;
    std::string failingComponent;  // the last component whose install failed
    uint32_t failingCode = 0;
    LoopStop loopStopped;          // an install loop (or the package's digest) that ended the run early
    Question declined = Question::None;
    bool prerequisitesDeclined = false;  // the prerequisites dialog cancelled or not continued
    std::string restart = "none";        // "needed" (not started), "started"
    std::vector<std::string> optionalChosen;
    std::string transform;  // the transform the installer got
};

// Carries out a plan in two parts around the reading of the guarded facts.
class Applier {
public:
    // `services` are set to the plan's log and levels as the run goes.
    Applier(Services& services, const Facts& facts) : s_(services), f_(facts) {}

    // The log's first entry, the refusals before the single-instance guard,
    // the guard (held until the applier goes), the refusals after it and the
    // language's entries. False when the run ends there.
    bool UntilGuard(const Plan& plan);
    // The rest, by the plan made with the guarded facts.
    void Rest(const Plan& plan);
    const Outcome& outcome() const { return o_; }

private:
    void End(Stage stage, int exitCode);
    void Refuse(const Refusal& refusal);
    std::string LogFileLine();
    // The prerequisites stage; false when the run must not go on.
    bool Prerequisites(const Plan& plan);
    // The installation up to the installer's result; none when it was not
    // called.
    std::optional<uint32_t> Install(const Plan& plan);
    void ReportFailure(uint32_t result);
    int Restart(const Plan& plan);

    Services& s_;
    const Facts& f_;
    Outcome o_;
    bool restart_ = false;  // a component asked for a restart
    std::unique_ptr<platform::Held> guard_;
};

}  // namespace setup
