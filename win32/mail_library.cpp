#include "win32/mail_library.h"

#include <cstring>
#include <string>

#include "win32/system_library.h"

namespace platform::win32 {
namespace {

// Result of Send on a binding without MAPISendMail; the core binds first
// and never gets here.
constexpr uint32_t kNotBound = ERROR_INVALID_FUNCTION;

// GetWindowTextA's buffer: titles of up to 259 characters.
constexpr int kTitleBuffer = 260;

struct TitleSearch {
    const char* part;
};

BOOL CALLBACK RaiseIfTitled(HWND window, LPARAM param) {
    const auto* search = reinterpret_cast<const TitleSearch*>(param);
    char title[kTitleBuffer] = {};
    if (::GetWindowTextA(window, title, kTitleBuffer) <= 0) return TRUE;  // untitled
    if (std::strstr(title, search->part) == nullptr) return TRUE;
    ::SetForegroundWindow(window);
    return FALSE;  // the first match only
}

}  // namespace

bool Win32Mail::Bind() {
    // The entries are looked up at the one load that succeeds; later calls
    // keep them as they are.
    if (!library_) {
        library_ = LoadSystemLibrary("MAPI32.DLL");
        if (!library_) return false;
        BindEntry(library_.get(), "MAPILogon", &logon_);
        BindEntry(library_.get(), "MAPILogoff", &logoff_);
        BindEntry(library_.get(), "MAPISendMail", &sendMail_);
    }
    return logon_ != nullptr && logoff_ != nullptr && sendMail_ != nullptr;
}

uint32_t Win32Mail::Send(const MailMessage& message) {
    if (sendMail_ == nullptr) return kNotBound;
    // The interface takes non-const strings; it reads them only.
    std::string subject = message.subject;
    std::string noteText = message.noteText;
    std::string recipientName = message.recipientName;
    std::string recipientAddress = message.recipientAddress;
    std::string attachmentPath = message.attachmentPath;

    MapiRecipDesc recipient = {};
    recipient.ulRecipClass = MAPI_TO;
    recipient.lpszName = recipientName.data();
    recipient.lpszAddress = recipientAddress.data();

    MapiFileDesc attachment = {};
    attachment.flFlags = 0;
    attachment.nPosition = static_cast<ULONG>(-1);  // not placed within the text
    attachment.lpszPathName = attachmentPath.data();

    MapiMessage mail = {};
    mail.lpszSubject = subject.data();
    mail.lpszNoteText = noteText.data();
    mail.nRecipCount = 1;
    mail.lpRecips = &recipient;
    mail.nFileCount = 1;
    mail.lpFiles = &attachment;

    return sendMail_(0, 0, &mail, message.flags, 0);
}

void Win32Mail::RaiseWindowTitled(const std::string& titlePart, uint32_t delayMilliseconds) {
    ::Sleep(delayMilliseconds);
    TitleSearch search = {titlePart.c_str()};
    ::EnumDesktopWindows(nullptr, RaiseIfTitled, reinterpret_cast<LPARAM>(&search));
}

}  // namespace platform::win32
