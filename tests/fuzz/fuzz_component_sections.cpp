// The component-section readers, the probes and the dialog's rows over an
// arbitrary configuration file.
#include "components/prerequisites_dialog.h"
#include "conditions/component_sources.h"
#include "config/component_descriptors.h"
#include "fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fake::Bench b;
    b.os.fileSystem.SetIni(std::string(reinterpret_cast<const char*>(data), size));
    b.os.procs.children["check.exe"] = {{}, 0, 2, "text"};
    const setup::IniFile ini(b.os.fileSystem, "C:\\Kits\\setup.ini");
    const setup::PathMacros macros = setup::DetectPathMacros(b.os, "C:\\Kits\\setup.exe");
    std::vector<setup::Component> list;
    for (const auto& section : setup::ResolveInstallers(b.os, setup::ReadPrerequisiteList(ini, macros))) {
        list.emplace_back(section);
        list.back().Take(setup::ProbeComponent(b.s, section));
    }
    setup::CMainDlg dialog(b.s, list, setup::PackageFacts(), "caption");
    dialog.Rows();
    dialog.StatusText();
    setup::ReadPostRequisiteList(ini, macros);
    return 0;
}
