#include "diagnostics/services.h"

#include "diagnostics/string_ids.h"
#include "platform/codes.h"

namespace setup {

void Services::Error(const std::string& text, const std::string& boxMore,
                     platform::WindowRef owner) {
    log.Write(text + "\r\n", true);
    if (uiLevel != UiLevel::Full) return;
    os.ui().ShowMessage(owner, text + boxMore, strings.LoadLocalizedString(ids::kInstallationError),
                        codes::kBoxError);
}

int Services::Ask(const std::string& question, const std::string& caption) {
    log.Write(question + "\r\n", true);
    if (uiLevel != UiLevel::Full) return codes::kIdOk;
    return os.ui().ShowMessage(0, question, caption, codes::kBoxQuestion);
}

int Services::ShowAlways(const std::string& text, const std::string& caption, uint32_t flags) {
    return os.ui().ShowMessage(0, text, caption, flags);
}

}  // namespace setup
