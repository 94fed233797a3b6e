// The readers of short untrusted text, each from its own line of the input:
// the command line, version text, status text, log entries and messages.
#include <cstdlib>

#include "components/prerequisites_dialog.h"
#include "config/version_strings.h"
#include "diagnostics/localized_strings.h"
#include "driver/command_line.h"
#include "fake_platform.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> f = FuzzFields(data, size, 4);
    const setup::CommandLine c = setup::ParseCommandLine(f[0]);
    if (c.logPath.size() > f[0].size() || c.recordPath.size() > f[0].size()) std::abort();
    if (c.adminTargetValid && c.adminTarget.find('"') != std::string::npos) std::abort();
    // Tokens may touch (a quoted one ends at its quote), so each may gain a blank.
    if (c.properties.size() > 2 * f[0].size()) std::abort();

    const setup::VersionValue a = setup::ParseVersionValue(f[1]), b = setup::ParseVersionValue(f[2]);
    if (setup::CompareVersionValues(a, b) != -setup::CompareVersionValues(b, a)) std::abort();
    if (setup::FormatVersionValue(a).size() > 23) std::abort();
    // Equality is symmetric, and equal versions are at least each other.
    if (setup::VersionTextEquals(f[1], f[2]) != setup::VersionTextEquals(f[2], f[1])) std::abort();
    if (setup::VersionTextEquals(f[1], f[2]) && !setup::VersionTextAtLeast(f[1], f[2])) std::abort();
    std::vector<uint32_t> numbers;
    setup::ParseNumberList(f[1], &numbers);

    if (setup::TranslateStatusText(f[3]).size() > 2 * f[3].size()) std::abort();

    fake::Bench bench;
    bench.log.Printf("IsValidRegCond() failed. Invalid condition '%s'. RegPath='%s'.\r\n", f[1].c_str(), f[2].c_str());
    bench.log.Write(f[3], size % 2 == 0);
    // One mark, two prefixes, the formatted entry within its buffer, the text.
    const size_t logged = bench.os.fileSystem.contents[bench.logPath].size();
    if (logged > 2 + 2 * (2 * 33 + setup::kLogEntryBufferSize + f[3].size())) std::abort();
    bench.strings.FormatLocalizedString(161, f[1].c_str());
    // One "$" for each letter beyond ASCII: never longer than the name.
    if (setup::SafeLogName(bench.os.fileSystem, f[2]).size() > f[2].size()) std::abort();
    return 0;
}
