#include "components/prerequisites.h"

#include "components/component_installer.h"
#include "config/component_descriptors.h"
#include "driver/session.h"

namespace setup {
namespace {

// The install loop's windows when no dialog is shown: no owner, no status
// text, and no download dialog to offer a missing package.
class NoWindows : public PrerequisiteWindows {
public:
    platform::WindowRef Owner() override { return 0; }
    void SetStatusText(const std::string&) override {}
    int RunDownloadDialog(ComponentDescriptor&) override { return -1; }
};

}  // namespace

int RunPrerequisites(Session& s, const char* sectionPattern, bool& restart) {
    restart = false;
    ComponentList list;
    ReadPrerequisiteList(s, sectionPattern, list);
    if (list.empty()) return 1;

    // The prerequisites dialog of the full level is not in this program
    // yet: every level installs the list as an unattended run does.
    s.log.Write("Installing prerequisites passively:\r\n", true);
    for (const ComponentDescriptor& c : list) s.log.Write("  " + c.Name + "\r\n", false);
    NoWindows windows;
    bool rebootRequired = false;
    InstallSelectedComponents(s, list, windows, true, rebootRequired);
    restart = rebootRequired;
    return 1;
}

}  // namespace setup
