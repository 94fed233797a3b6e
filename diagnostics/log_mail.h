// Offers to mail the log of a failed installation to the address that the
// configuration names, through the user's mail client.
#pragma once

#include <string>

#include "diagnostics/services.h"

namespace setup {

struct LogMail {
    std::string logPath;
    std::string address;  // SendErrorLogTo; empty: nothing is offered
    std::string productName, productVersion;
};

// Asks at every level (only a person can send it) and mails on Yes.
void SendLogFile(Services& services, const LogMail& mail);

}  // namespace setup
