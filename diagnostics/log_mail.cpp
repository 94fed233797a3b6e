#include "diagnostics/log_mail.h"

#include "diagnostics/string_ids.h"
#include "diagnostics/system_error_text.h"
#include "diagnostics/text_format.h"
#include "platform/codes.h"

namespace setup {
namespace {

constexpr uint32_t kMapiLogonUi = 0x1;
constexpr uint32_t kMapiDialog = 0x8;
constexpr uint32_t kRaiseDelayMilliseconds = 1000;

// True when the mail interface accepted the message.
bool MailLogFile(Services& s, const LogMail& mail) {
    const size_t slash = mail.logPath.rfind('\\');
    const std::string fileName =
        slash == std::string::npos ? mail.logPath : mail.logPath.substr(slash + 1);

    platform::MailMessage message;
    message.recipientName = "BootStrapper";
    message.recipientAddress = "SMTP:" + mail.address;
    message.subject = Format("Log file for '%s (%s)'", mail.productName.c_str(),
                             mail.productVersion.c_str());
    message.noteText = Format("See log file '%s' in attachment.", fileName.c_str());
    message.attachmentPath = mail.logPath;
    message.flags = kMapiLogonUi | kMapiDialog;

    if (!s.os.mail().Bind()) {
        s.log.Write("Can't load MAPI32.DLL", true);
        return false;
    }
    s.log.Printf("Send email to '%s' attachment file '%s'\r\n", message.recipientAddress.c_str(),
                 mail.logPath.c_str());
    const uint32_t result = s.os.mail().Send(message);
    if (result == codes::kSuccess) return true;
    s.log.Printf("MAPISendMail(%s) failure. %s", message.recipientAddress.c_str(),
                 SystemErrorText(s.os, result).c_str());
    return false;
}

}  // namespace

void SendLogFile(Services& s, const LogMail& mail) {
    if (mail.address.empty()) {
        s.log.Write("Can't read email address from ini file.\r\n", true);
        return;
    }
    const std::string question = s.strings.FormatLocalizedString(
        ids::kSendLogQuestion, mail.logPath.c_str(), mail.address.c_str());
    const std::string caption =
        Format("%s (%s)", mail.productName.c_str(), mail.productVersion.c_str());
    if (s.neverWait) {
        s.log.Write("Mail question not asked: the run must not wait for a person. Answered No.\r\n", true);
        return;
    }
    if (s.ShowAlways(question, caption, codes::kBoxQuestion) != codes::kIdYes) return;
    // A patch run has no product name, and an empty title would match any
    // window.
    if (MailLogFile(s, mail) && !mail.productName.empty()) {
        s.os.mail().RaiseWindowTitled(mail.productName, kRaiseDelayMilliseconds);
    }
}

}  // namespace setup
