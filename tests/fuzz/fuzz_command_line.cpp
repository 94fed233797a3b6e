// Every reader of the command line on arbitrary text.
#include "driver/command_line.h"
#include "fuzz_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    setup::SetupContext ctx;
    setup::ScanLogOption(line, ctx);
    if (ctx.logPath.size() > line.size()) std::abort();
    setup::ParseUiLevel(line);
    setup::ParseRunMode(line);
    std::string target;
    if (setup::ParseAdminTarget(line, target) == 0 && target.find('"') != std::string::npos) std::abort();
    std::string properties;
    setup::CollectPublicProperties(line, properties);
    // Tokens may touch (a quoted one ends at its quote), so each may gain a blank.
    if (properties.size() > 2 * line.size()) std::abort();
    return 0;
}
