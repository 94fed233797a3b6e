// The component-section readers over an arbitrary configuration file.
#include "components/prerequisites_dialog.h"
#include "config/component_descriptors.h"
#include "driver/session.h"
#include "fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fake::Platform os;
    os.fileSystem.SetIni("C:\\Kits\\setup.ini", std::string(reinterpret_cast<const char*>(data), size));
    os.procs.children["check.exe"] = {2, "text", {}, 0};
    setup::Session s(os);
    s.ctx.logPath = "C:\\Temp\\fuzz.log";
    setup::ComponentList list;
    setup::ReadPrerequisiteList(s, "PreReq%d", list);
    setup::CMainDlg dialog(s, list);
    dialog.Rows();
    dialog.StatusText();
    setup::ReadPostRequisiteList(s, "PostReq%d", list);
    return 0;
}
