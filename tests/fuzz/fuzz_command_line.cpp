// The command line read into its parts, from arbitrary text.
#include "driver/command_line.h"
#include "fuzz_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const setup::CommandLine c = setup::ParseCommandLine(line);
    if (c.logPath.size() > line.size() || c.recordPath.size() > line.size()) std::abort();
    if (c.adminTargetValid && c.adminTarget.find('"') != std::string::npos) std::abort();
    // Tokens may touch (a quoted one ends at its quote), so each may gain a blank.
    if (c.properties.size() > 2 * line.size()) std::abort();
    return 0;
}
