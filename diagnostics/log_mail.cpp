#include "diagnostics/log_mail.h"

namespace setup {

void SendLogFile(Session& /*session*/, const std::string& /*logPath*/) {
    // The mail support is not in this program yet.
}

}  // namespace setup
