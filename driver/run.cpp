#include "driver/run.h"

#include <memory>

#include "driver/apply.h"
#include "driver/detect.h"
#include "driver/plan.h"
#include "driver/run_record.h"

namespace setup {

int Run(platform::Platform& os, const std::string& commandLine) {
    const std::unique_ptr<platform::InstallerLibrary> msi = os.installer().Bind();
    const Facts facts = Detect(os, *msi, commandLine);
    const Plan plan = MakePlan(facts);

    SetupLog log(os);
    StringTable strings(os, facts.host.userLanguage);
    Services services(os, log, strings, *msi);
    services.host = facts.host;
    services.uiLevel = plan.uiLevel;
    services.neverWait = plan.neverWait;
    const Outcome outcome = Apply(services, facts, plan);

    if (!plan.recordPath.empty() &&
        !os.files().Write(plan.recordPath, RecordJson(outcome, log.path()))) {
        log.Printf("Can't write the result record '%s'.\r\n", plan.recordPath.c_str());
    }
    return outcome.exitCode;
}

}  // namespace setup
