// A whole run: an arbitrary command line (the first line) and setup.ini
// (the rest), with its component sections, probes and dialog rows.
#include <cstdlib>

#include "driver/run.h"
#include "fake_platform.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> f = FuzzFields(data, size, 2);
    fake::Platform os;
    os.msi.packages["C:\\Kits\\demo.msi"] = {
        {"ProductCode", "{C0DE}"}, {"ProductVersion", "1.0"}, {"ProductName", "Demo"}};
    os.fileSystem.contents["C:\\Kits\\demo.msi"] = "package";
    os.fileSystem.SetIni(f[1]);
    os.procs.children["check.exe"] = {{}, 0, 2, "text\\nmore"};
    os.userInterface.prerequisitesDialog = [](platform::PrerequisitesDialog& d) {
        std::vector<int> images;
        for (const auto& row : d.Rows()) images.push_back(row.image);
        d.StatusText();
        return d.Install(1, images);
    };
    const int code = setup::Run(os, f[0]);
    // 1618 and 1641 only with "/record", for deployment engines.
    if (code != 0 && code != 3 && code != 1602 && code != 1618 && code != 1641 && code != 3010) std::abort();
    return 0;
}
