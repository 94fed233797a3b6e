#include "components/prerequisites.h"

#include "components/prerequisites_dialog.h"

namespace setup {

int RunPrerequisites(Services& s, const std::vector<Component>& planned, const PackageFacts& package,
                     const std::string& caption, bool stopAtRestart, PrerequisiteOutcome& outcome) {
    outcome = PrerequisiteOutcome();
    std::vector<Component> list;
    for (const Component& c : planned) {
        if (c.listed) list.push_back(c);
    }
    if (list.empty()) return 1;

    CMainDlg dialog(s, list, package, caption, stopAtRestart);
    int result = 1;
    if (s.uiLevel == UiLevel::Full) {
        result = s.os.ui().RunPrerequisitesDialog(dialog);
    } else {
        s.log.Write("Installing prerequisites passively:\r\n", true);
        for (const Component& c : list) s.log.Write("  " + c.section.Name + "\r\n", false);
        // No dialog: the download dialog of a missing package has no owner.
        DialogWindows windows(s, 0);
        InstallSelectedComponents(s, list, windows, true, stopAtRestart, dialog.outcome);
        dialog.installed = true;
        if (dialog.outcome.tampered) result = 0;
    }
    static_cast<InstallOutcome&>(outcome) = dialog.outcome;
    for (const Component& c : list) {
        if (dialog.installed && c.optionalState != OptionalState::NoCheckBox && c.Selected) {
            outcome.optionalChosen.push_back(c.section.Name);
        }
    }
    return result;
}

}  // namespace setup
