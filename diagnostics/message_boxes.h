// The three ways the run shows a message box.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace setup {

struct Session;

// Logs the text (with "\r\n" added) and shows it only at the full
// user-interface level; answers IDOK (1) when nothing is shown.
int RunMessageBox(Session& session, platform::WindowRef owner, const std::string& text,
                  const std::string& caption, uint32_t flags);

// At the full level, the text with the caption "Installation Error" and the
// error icon; otherwise nothing, not even a log entry.
void ErrorMessageBox(Session& session, const std::string& text);

// The usage text, shown at every level.
void UsageMessageBox(Session& session);

}  // namespace setup
