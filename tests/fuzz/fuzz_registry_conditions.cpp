// A registry condition pair against a registry value of arbitrary bytes.
#include "conditions/registry_conditions.h"
#include "fake_platform.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> f = FuzzFields(data, size, 3);
    fake::Bench b;
    // The value lies where the path names it, when it names one.
    setup::RegistryPath where;
    if (setup::SplitRegistryPath(f[0], &where) == setup::RegistryPathError::None) {
        b.os.reg.Set(where.keyPath, where.valueName, f[2], platform::RegistryView::Default, where.root);
    }
    setup::IsValidRegCond(b.s, f[0], f[1], size % 2);
    return 0;
}
