// The short texts of setup.ini and the log: a registry condition against a value
// of any bytes, versions, status text, log entries and messages.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "components/prerequisites_dialog.h"
#include "conditions/registry_conditions.h"
#include "config/version_strings.h"
#include "diagnostics/localized_strings.h"
#include "fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // RegPath, RegCond or version, version or status text, value or log text.
    FuzzedDataProvider input(data, size);
    std::string f[4];
    for (int i = 0; i < 3; ++i) f[i] = input.ConsumeRandomLengthString();
    f[3] = input.ConsumeRemainingBytesAsString();
    const setup::VersionValue a = setup::ParseVersionValue(f[1]), b = setup::ParseVersionValue(f[2]);
    if (setup::CompareVersionValues(a, b) != -setup::CompareVersionValues(b, a)) std::abort();
    if (setup::FormatVersionValue(a).size() > 23) std::abort();
    if (setup::VersionTextEquals(f[1], f[2]) != setup::VersionTextEquals(f[2], f[1])) std::abort();
    if (setup::VersionTextEquals(f[1], f[2]) && !setup::VersionTextAtLeast(f[1], f[2])) std::abort();
    std::vector<uint32_t> numbers;
    setup::ParseNumberList(f[1], &numbers);

    if (setup::TranslateStatusText(f[2]).size() > 2 * f[2].size()) std::abort();

    fake::Bench bench;
    bench.log.Printf("IsValidRegCond() failed. Invalid condition '%s'. RegPath='%s'.\r\n", f[1].c_str(), f[0].c_str());
    bench.log.Write(f[3], size % 2 == 0);
    // A mark, two prefixes, the entry within its buffer, the text.
    const size_t logged = bench.os.fileSystem.contents[bench.logPath].size();
    if (logged > 2 + 2 * (2 * 33 + setup::kLogEntryBufferSize + f[3].size())) std::abort();
    bench.strings.FormatLocalizedString(161, f[1].c_str());
    if (setup::SafeLogName(bench.os.fileSystem, f[2]).size() > f[2].size()) std::abort();  // a character: one "$"

    setup::RegistryPath where;
    if (setup::SplitRegistryPath(f[0], &where) == setup::RegistryPathError::None) {
        bench.os.reg.Set(where.keyPath, where.valueName, f[3], platform::RegistryView::Default, where.root);
    }
    setup::IsValidRegCond(bench.s, f[0], f[1], size % 2);
    return 0;
}
