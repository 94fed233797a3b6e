#include "driver/run_record.h"

#include "diagnostics/text_format.h"

namespace setup {
namespace {

std::string Quoted(platform::System& system, const std::string& ansi) {
    return JsonString(system.AnsiToUtf8(ansi));
}

}  // namespace

std::string RecordJson(const RunRecord& r, platform::System& system) {
    std::string chosen;
    for (const std::string& name : r.optionalChosen) chosen += (chosen.empty() ? "" : ", ") + Quoted(system, name);
    const std::string component =
        r.failingComponent.empty()
            ? "null"
            : Format("{\"name\": %s, \"code\": %u}", Quoted(system, r.failingComponent).c_str(),
                     static_cast<unsigned>(r.failingCode));
    const std::string installer =
        r.installerCalled ? Format("%u", static_cast<unsigned>(r.installerResult)) : "null";
    return Format(
        "{\n  \"exitCode\": %d,\n  \"stage\": %s,\n  \"failingComponent\": %s,\n"
        "  \"installerResult\": %s,\n  \"restart\": %s,\n  \"optionalComponents\": [%s],\n"
        "  \"transform\": %s,\n  \"logPath\": %s\n}\n",
        r.exitCode, Quoted(system, r.stage).c_str(), component.c_str(), installer.c_str(),
        Quoted(system, r.restart).c_str(), chosen.c_str(), Quoted(system, r.transform).c_str(),
        Quoted(system, r.logPath).c_str());
}

}  // namespace setup
