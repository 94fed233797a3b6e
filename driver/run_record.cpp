#include "driver/run_record.h"

#include "diagnostics/text_format.h"

namespace setup {
namespace {

const char* DeclinedName(const Outcome& o) {
    if (o.declined == Question::Upgrade) return "\"upgrade\"";
    if (o.declined == Question::Patch) return "\"patch\"";
    return o.prerequisitesDeclined ? "\"prerequisites\"" : "null";
}

}  // namespace

std::string RecordJson(const Outcome& o, const std::string& logPath) {
    std::string chosen;
    for (const std::string& name : o.optionalChosen) chosen += (chosen.empty() ? "" : ", ") + JsonString(name);
    const std::string component =
        o.failingComponent.empty()
            ? "null"
            : Format("{\"name\": %s, \"code\": %u}", JsonString(o.failingComponent).c_str(),
                     static_cast<unsigned>(o.failingCode));
    const std::string stopped =
        o.loopStopped.reason == LoopStop::Reason::None
            ? "null"
            : Format("{\"component\": %s, \"reason\": \"%s\"}", JsonString(o.loopStopped.component).c_str(),
                     LoopStopName(o.loopStopped.reason));
    const std::string installer =
        o.installerResult ? Format("%u", static_cast<unsigned>(*o.installerResult)) : "null";
    return Format(
        "{\n  \"exitCode\": %d,\n  \"stage\": %s,\n  \"failingComponent\": %s,\n  \"stoppedAt\": %s,\n"
        "  \"declined\": %s,\n  \"installerResult\": %s,\n  \"restart\": %s,\n  \"optionalComponents\": [%s],\n"
        "  \"transform\": %s,\n  \"logPath\": %s\n}\n",
        o.exitCode, JsonString(StageName(o.stage)).c_str(), component.c_str(), stopped.c_str(), DeclinedName(o),
        installer.c_str(), JsonString(o.restart).c_str(), chosen.c_str(), JsonString(o.transform).c_str(),
        JsonString(logPath).c_str());
}

}  // namespace setup
