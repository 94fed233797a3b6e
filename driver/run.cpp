#include "driver/run.h"

#include <memory>

#include "driver/apply.h"
#include "driver/run_record.h"

namespace setup {

Plan PlanGuarded(Services& s, Facts& f) {
    Plan plan = MakePlan(f);
    if (plan.refusal) return plan;
    DetectProduct(s.msi, f);
    plan = MakePlan(f);
    DetectComponents(s, f, plan.prerequisitesFirst || plan.prerequisitesAfterYes, plan.postRequisites);
    return MakePlan(f);
}

int Run(platform::Platform& os, const std::string& commandLine) {
    const std::unique_ptr<platform::InstallerLibrary> msi = os.installer().Bind();
    Facts facts = Detect(os, *msi, commandLine);
    Plan plan = MakePlan(facts);

    SetupLog log(os);
    StringTable strings(os, facts.host.userLanguage);
    Services services(os, log, strings, *msi);
    services.host = facts.host;
    Applier run(services, facts);
    if (run.UntilGuard(plan)) {
        plan = PlanGuarded(services, facts);
        run.Rest(plan);
    }
    const Outcome& outcome = run.outcome();

    if (!plan.recordPath.empty() &&
        !os.files().Write(plan.recordPath, RecordJson(outcome, log.path()))) {
        log.Printf("Can't write the result record '%s'.\r\n", plan.recordPath.c_str());
    }
    return outcome.exitCode;
}

}  // namespace setup
