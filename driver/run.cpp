#include "driver/run.h"

#include <memory>

#include "driver/apply.h"
#include "driver/run_record.h"

namespace setup {

Plan PlanGuarded(Services& s, Facts& f) {
    {
        Plan refused = MakePlan(f);
        if (refused.refusal) return refused;
    }
    DetectProduct(s.msi, f);
    {
        const Plan product = MakePlan(f);
        DetectComponents(s, f, product.prerequisitesFirst || product.prerequisitesAfterYes, product.postRequisites);
    }
    return MakePlan(f);
}

int Run(platform::Platform& os, const std::string& commandLine) {
    const std::unique_ptr<platform::InstallerLibrary> msi = os.installer().Bind();
    Facts facts = Detect(os, *msi, commandLine);
    const Plan plan = MakePlan(facts);

    SetupLog log(os);
    StringTable strings(os, facts.host.userLanguage);
    Services services(os, log, strings, *msi);
    services.host = facts.host;
    Applier run(services, facts);
    if (run.UntilGuard(plan)) run.Rest(PlanGuarded(services, facts));
    const Outcome& outcome = run.outcome();

    if (!plan.recordPath.empty() &&
        !os.files().Write(plan.recordPath, RecordJson(outcome, log.path()))) {
        log.Printf("Can't write the result record '%s'.\r\n", plan.recordPath.c_str());
    }
    return outcome.exitCode;
}

}  // namespace setup
