// Offers to mail the log of a failed installation.
#pragma once

#include <string>

namespace setup {

struct Session;

void SendLogFile(Session& session, const std::string& logPath);

}  // namespace setup
