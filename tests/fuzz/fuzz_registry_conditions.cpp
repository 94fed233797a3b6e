// A registry condition pair against a registry value of arbitrary bytes.
#include "conditions/registry_conditions.h"
#include "driver/session.h"
#include "fake_platform.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> f = FuzzFields(data, size, 3);
    fake::Platform os;
    setup::Session s(os);
    s.ctx.logPath = "C:\\Temp\\fuzz.log";
    // Put the value where the path names it, when it names one.
    const size_t first = f[0].find('\\'), last = f[0].rfind('\\');
    platform::RegistryRoot root;
    if (first != std::string::npos && last > first &&
        setup::LookupRootKey(f[0].substr(0, first), &root)) {
        os.reg.Set(root, f[0].substr(first + 1, last - first - 1), f[0].substr(last + 1), f[2]);
    }
    setup::IsValidRegCond(s, f[0], f[1], size % 2);
    return 0;
}
