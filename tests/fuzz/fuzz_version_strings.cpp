// The three readings of version text and their comparisons.
#include "config/version_strings.h"
#include "fuzz_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> f = FuzzFields(data, size, 2);
    setup::VersionValue a = setup::ParseVersionValue(f[0]), b = setup::ParseVersionValue(f[1]);
    if (setup::CompareVersionValues(a, b) != -setup::CompareVersionValues(b, a)) std::abort();
    if (setup::FormatVersionValue(a).size() > 23) std::abort();
    setup::ParseVersionFields(f[0]);
    // Equality is symmetric, and equal versions are at least each other.
    if (setup::VersionTextEquals(f[0], f[1]) != setup::VersionTextEquals(f[1], f[0])) std::abort();
    if (setup::VersionTextEquals(f[0], f[1]) && !setup::VersionTextAtLeast(f[0], f[1])) std::abort();
    std::vector<uint32_t> numbers;
    setup::ParseNumberList(f[0], &numbers);
    return 0;
}
