// The simple mail interface (MAPI32.DLL), bound at run time from the system
// folder. The library and its entries, once found, last for the process.
#pragma once

#include <windows.h>

#include <mapi.h>

#include "platform/platform.h"
#include "win32/unique_handles.h"

namespace platform::win32 {

// The message of MAPISendMailW (Windows 8 and later), which this
// toolchain's headers lack: MapiMessage's layout with UTF-16 texts.
struct MapiRecipDescW {
    ULONG ulReserved, ulRecipClass;
    char16_t *lpszName, *lpszAddress;
    ULONG ulEIDSize;
    void* lpEntryID;
};
struct MapiFileDescW {
    ULONG ulReserved, flFlags, nPosition;
    char16_t *lpszPathName, *lpszFileName;
    void* lpFileType;
};
struct MapiMessageW {
    ULONG ulReserved;
    char16_t *lpszSubject, *lpszNoteText, *lpszMessageType, *lpszDateReceived, *lpszConversationID;
    FLAGS flFlags;
    MapiRecipDescW* lpOriginator;
    ULONG nRecipCount;
    MapiRecipDescW* lpRecips;
    ULONG nFileCount;
    MapiFileDescW* lpFiles;
};
using LPMAPISENDMAILW = ULONG(WINAPI*)(LHANDLE, ULONG_PTR, MapiMessageW*, FLAGS, ULONG);

class Win32Mail final : public Mail {
public:
    bool Bind() override;
    uint32_t Send(const MailMessage& message) override;
    void RaiseWindowTitled(const std::string& titlePart, uint32_t delayMilliseconds) override;

private:
    // Declared first: freed last, after nothing can call into it.
    UniqueModule library_;
    LPMAPILOGON logon_ = nullptr;
    LPMAPILOGOFF logoff_ = nullptr;
    LPMAPISENDMAIL sendMail_ = nullptr;
    LPMAPISENDMAILW sendMailW_ = nullptr;  // where the library has it
};

}  // namespace platform::win32
