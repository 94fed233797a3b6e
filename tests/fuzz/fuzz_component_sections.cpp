// The component-section readers and the probes over an arbitrary
// configuration file.
#include "components/prerequisites_dialog.h"
#include "config/component_descriptors.h"
#include "fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fake::Platform os;
    os.fileSystem.SetIni(std::string(reinterpret_cast<const char*>(data), size));
    os.procs.children["check.exe"] = {2, "text", {}, 0};
    const std::string logPath = "C:\\Temp\\fuzz.log";
    setup::SetupLog log(os, logPath);
    setup::StringTable strings(os);
    setup::Services s(os, log, strings);
    std::vector<setup::Component> list;
    for (const auto& section : setup::ReadPrerequisiteList(os, setup::kPrerequisiteSections)) {
        list.emplace_back(section);
        list.back().Take(setup::ProbeComponent(s, section));
    }
    setup::PackageProperties package;
    setup::CMainDlg dialog(s, list, package, "caption");
    dialog.Rows();
    dialog.StatusText();
    setup::ReadPostRequisiteList(os, setup::kPostRequisiteSections);
    return 0;
}
