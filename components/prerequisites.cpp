#include "components/prerequisites.h"

#include "components/prerequisites_dialog.h"
#include "config/component_descriptors.h"
#include "driver/session.h"

namespace setup {

int RunPrerequisites(Session& s, const char* sectionPattern, bool& restart) {
    restart = false;
    ComponentList list;
    ReadPrerequisiteList(s, sectionPattern, list);
    if (list.empty()) return 1;

    CMainDlg dialog(s, list);
    int result = 1;
    if (s.ctx.uiLevel == UiLevel::Full) {
        result = s.os.ui().RunPrerequisitesDialog(dialog);
    } else {
        s.log.Write("Installing prerequisites passively:\r\n", true);
        for (const ComponentDescriptor& c : list) s.log.Write("  " + c.Name + "\r\n", false);
        // No dialog: the download dialog of a missing package has no owner.
        DialogWindows windows(s, 0);
        InstallSelectedComponents(s, list, windows, true, dialog.RebootRequired);
    }
    restart = dialog.RebootRequired;
    return result;
}

}  // namespace setup
