#include "diagnostics/message_boxes.h"

#include "diagnostics/string_ids.h"
#include "driver/session.h"
#include "platform/codes.h"

namespace setup {

int RunMessageBox(Session& session, platform::WindowRef owner, const std::string& text,
                  const std::string& caption, uint32_t flags) {
    session.log.Write(text + "\r\n", true);
    if (session.ctx.uiLevel != UiLevel::Full) return codes::kIdOk;
    return session.os.ui().ShowMessage(owner, text, caption, flags);
}

void ErrorMessageBox(Session& session, const std::string& text) {
    session.log.Write(text + "\r\n", true);
    if (session.ctx.uiLevel != UiLevel::Full) return;
    session.os.ui().ShowMessage(0, text, session.strings.LoadLocalizedString(ids::kInstallationError),
                                codes::kBoxError);
}

void UsageMessageBox(Session& session) {
    session.os.ui().ShowMessage(0, session.strings.LoadLocalizedString(ids::kUsageText),
                                session.strings.LoadLocalizedString(ids::kUsageCaption),
                                codes::kBoxInfo);
}

}  // namespace setup
