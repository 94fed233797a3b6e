// Offers to mail the log of a failed installation to the address that the
// configuration names, through the user's mail client.
#pragma once

#include <string>

namespace setup {

struct Session;

// Whether the mail library was loaded in this process: it is loaded once
// and kept; a library that failed to load is tried again next time.
struct MailBinding {
    bool loaded = false;
};

void SendLogFile(Session& session, const std::string& logPath);
// True when the mail interface accepted the message.
bool MailLogFile(Session& session, const std::string& logPath, const std::string& address);

}  // namespace setup
