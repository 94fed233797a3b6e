#include "components/component_installer.h"

namespace setup {

void InstallPostRequisites(Session& /*session*/, bool& /*restart*/) {
    // Post-requisite sections are read by the component support, which is
    // not in this program yet.
}

}  // namespace setup
