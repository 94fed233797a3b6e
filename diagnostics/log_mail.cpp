#include "diagnostics/log_mail.h"

#include "config/configuration.h"
#include "diagnostics/string_ids.h"
#include "diagnostics/system_error_text.h"
#include "diagnostics/text_format.h"
#include "driver/session.h"
#include "platform/codes.h"

namespace setup {
namespace {

constexpr uint32_t kMapiLogonUi = 0x1;
constexpr uint32_t kMapiDialog = 0x8;
constexpr uint32_t kRaiseDelayMilliseconds = 1000;

}  // namespace

bool MailLogFile(Session& s, const std::string& logPath, const std::string& address) {
    const size_t slash = logPath.rfind('\\');
    const std::string fileName = slash == std::string::npos ? logPath : logPath.substr(slash + 1);

    platform::MailMessage message;
    message.recipientName = "BootStrapper";
    message.recipientAddress = "SMTP:" + address;
    message.subject = Format("Log file for '%s (%s)'", s.package.productName.c_str(),
                             s.package.productVersion.c_str());
    message.noteText = Format("See log file '%s' in attachment.", fileName.c_str());
    message.attachmentPath = logPath;
    message.flags = kMapiLogonUi | kMapiDialog;

    platform::Mail& mail = s.os.mail();
    if (!s.mailBinding.loaded) s.mailBinding.loaded = mail.Load();
    if (!s.mailBinding.loaded || !mail.HasAllEntries()) {
        s.log.Write("Can't load MAPI32.DLL", true);
        return false;
    }
    s.log.Printf("Send email to '%s' attachment file '%s'\r\n", message.recipientAddress.c_str(),
                 logPath.c_str());
    const uint32_t result = mail.Send(message);
    if (result == codes::kSuccess) return true;
    s.log.Printf("MAPISendMail(%s) failure. %s", message.recipientAddress.c_str(),
                 SystemErrorText(s.os, result).c_str());
    return false;
}

void SendLogFile(Session& s, const std::string& logPath) {
    const std::string address = GetIniString(s.os, kMainSection, "SendErrorLogTo");
    if (address.empty()) {
        s.log.Write("Can't read email address from ini file.\r\n", true);
        return;
    }
    const std::string question =
        s.strings.FormatLocalizedString(ids::kSendLogQuestion, logPath.c_str(), address.c_str());
    const std::string caption =
        Format("%s (%s)", s.package.productName.c_str(), s.package.productVersion.c_str());
    // Asked whatever the user-interface level: only a person can send it.
    if (s.os.ui().ShowMessage(0, question, caption, codes::kBoxQuestion) != codes::kIdYes) return;
    // A patch run has no product name, and an empty title would match any
    // window.
    if (MailLogFile(s, logPath, address) && !s.package.productName.empty()) {
        s.os.mail().RaiseWindowTitled(s.package.productName, kRaiseDelayMilliseconds);
    }
}

}  // namespace setup
