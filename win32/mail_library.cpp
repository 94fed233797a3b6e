#include "win32/mail_library.h"

#include <cwchar>
#include <string>

#include "diagnostics/text_format.h"
#include "win32/code_page.h"
#include "win32/system_library.h"

namespace platform::win32 {
namespace {

// Result of Send on a binding without MAPISendMail; the core binds first
// and never gets here.
constexpr uint32_t kNotBound = ERROR_INVALID_FUNCTION;

// GetWindowTextW's buffer: titles of up to 259 characters.
constexpr int kTitleBuffer = 260;

struct TitleSearch {
    const wchar_t* part;
};

BOOL CALLBACK RaiseIfTitled(HWND window, LPARAM param) {
    const auto* search = reinterpret_cast<const TitleSearch*>(param);
    wchar_t title[kTitleBuffer] = {};
    if (::GetWindowTextW(window, title, kTitleBuffer) <= 0) return TRUE;  // untitled
    if (std::wcsstr(title, search->part) == nullptr) return TRUE;
    ::SetForegroundWindow(window);
    return FALSE;  // the first match only
}

// The message's texts, in the form of one interface: subject, note,
// recipient's name and address, attachment.
template <typename Text>
struct Texts {
    Text subject, noteText, recipientName, recipientAddress, attachmentPath;
};

// Sends through either interface, whose structures differ only in their
// texts' type; the interface takes non-const strings and reads them only.
template <typename Message, typename Recipient, typename File, typename Text>
ULONG SendThrough(ULONG(WINAPI* send)(LHANDLE, ULONG_PTR, Message*, FLAGS, ULONG), Texts<Text> texts,
                  FLAGS flags) {
    Recipient recipient = {};
    recipient.ulRecipClass = MAPI_TO;
    recipient.lpszName = texts.recipientName.data();
    recipient.lpszAddress = texts.recipientAddress.data();

    File attachment = {};
    attachment.flFlags = 0;
    attachment.nPosition = static_cast<ULONG>(-1);  // not placed within the text
    attachment.lpszPathName = texts.attachmentPath.data();

    Message mail = {};
    mail.lpszSubject = texts.subject.data();
    mail.lpszNoteText = texts.noteText.data();
    mail.nRecipCount = 1;
    mail.lpRecips = &recipient;
    mail.nFileCount = 1;
    mail.lpFiles = &attachment;
    return send(0, 0, &mail, flags, 0);
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
        BindEntry(library_.get(), "MAPISendMailW", &sendMailW_);
    }
    return logon_ != nullptr && logoff_ != nullptr && sendMail_ != nullptr;
}

uint32_t Win32Mail::Send(const MailMessage& message) {
    if (sendMail_ == nullptr) return kNotBound;
    if (sendMailW_ != nullptr) {
        const auto wide = [](const std::string& text) { return setup::Utf8ToUtf16(text); };
        return SendThrough<MapiMessageW, MapiRecipDescW, MapiFileDescW>(
            sendMailW_,
            Texts<std::u16string>{wide(message.subject), wide(message.noteText), wide(message.recipientName),
                                  wide(message.recipientAddress), wide(message.attachmentPath)},
            message.flags);
    }
    // The ANSI interface: the texts in the ANSI code page, and the log by
    // its short path, which that code page can write where the long one
    // holds letters it lacks.
    const auto ansi = [](const std::string& text) { return ToCodePage(CP_ACP, text); };
    wchar_t shortPath[MAX_PATH] = {};
    const DWORD length = ::GetShortPathNameW(Wide(message.attachmentPath), shortPath, MAX_PATH);
    const std::string attachment =
        length > 0 && length < MAX_PATH ? Narrow(shortPath, length) : message.attachmentPath;
    return SendThrough<MapiMessage, MapiRecipDesc, MapiFileDesc>(
        sendMail_,
        Texts<std::string>{ansi(message.subject), ansi(message.noteText), ansi(message.recipientName),
                           ansi(message.recipientAddress), ansi(attachment)},
        message.flags);
}

void Win32Mail::RaiseWindowTitled(const std::string& titlePart, uint32_t delayMilliseconds) {
    ::Sleep(delayMilliseconds);
    const Wide part(titlePart);
    TitleSearch search = {part};
    ::EnumDesktopWindows(nullptr, RaiseIfTitled, reinterpret_cast<LPARAM>(&search));
}

}  // namespace platform::win32
