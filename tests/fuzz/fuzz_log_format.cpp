// Log entries and localized messages formatted with arbitrary text.
#include "diagnostics/localized_strings.h"
#include "diagnostics/setup_log.h"
#include "fake_platform.h"
#include "fuzz_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> f = FuzzFields(data, size, 3);
    fake::Platform os;
    const std::string logPath = "C:\\Temp\\fuzz.log";
    setup::SetupLog log(os, logPath);
    setup::StringTable strings(os, 1033);
    log.Printf("IsValidRegCond() failed. Invalid condition '%s'. RegPath='%s'.\r\n", f[0].c_str(),
                 f[1].c_str());
    log.Write(f[2], size % 2 == 0);
    const std::string bytes = os.fileSystem.contents[logPath];
    // One mark, two prefixes, the formatted entry within its buffer, the text.
    if (bytes.size() > 2 + 2 * (2 * 33 + setup::kLogEntryBufferSize + f[2].size())) std::abort();
    strings.FormatLocalizedString(161, f[0].c_str());
    if (setup::SafeLogName(os.fileSystem, f[1]).size() != f[1].size()) std::abort();
    return 0;
}
