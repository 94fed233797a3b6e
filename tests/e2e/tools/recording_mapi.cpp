// A recording test double of MAPI32.DLL (tests/e2e/README.md): it sends nothing.
#include "double_support.h"

#include <mapi.h>

namespace {

std::string Set(const void* pointer) { return pointer ? "set" : "null"; }

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) RecordLoad(instance, L"recording_mapi.log");
    return TRUE;
}

DOUBLE_ENTRY ULONG WINAPI MAPILogon(ULONG_PTR ui, LPSTR profile, LPSTR password, FLAGS flags, ULONG reserved,
                                    LPLHANDLE session) {
    Record("MAPILogon", Num(ui), Field(profile), Field(password), Num(flags), Num(reserved));
    if (session) *session = 1;
    return SUCCESS_SUCCESS;
}

DOUBLE_ENTRY ULONG WINAPI MAPILogoff(LHANDLE session, ULONG_PTR ui, FLAGS flags, ULONG reserved) {
    Record("MAPILogoff", Num(session), Num(ui), Num(flags), Num(reserved));
    return SUCCESS_SUCCESS;
}

namespace {

// MAPISendMailW's message has MapiMessage's layout with UTF-16 texts (Char).
template <typename Char>
ULONG RecordSend(const char* entry, LHANDLE session, ULONG_PTR ui, lpMapiMessage message, FLAGS flags,
                 ULONG reserved) {
    const auto text = [](LPSTR field) { return Field(reinterpret_cast<const Char*>(field)); };
    Record(entry, Num(session), Num(ui), Num(flags), Num(reserved), Set(message));
    Record("Chain", ExceptionChainVerdict());
    if (message) {
        Record("Message", text(message->lpszSubject), text(message->lpszNoteText), text(message->lpszMessageType),
               text(message->lpszDateReceived), text(message->lpszConversationID), Num(message->flFlags),
               Set(message->lpOriginator), Num(message->nRecipCount), Num(message->nFileCount));
        for (ULONG i = 0; message->lpRecips && i < message->nRecipCount && i < 16; ++i) {
            const MapiRecipDesc& to = message->lpRecips[i];
            Record("Recipient", Num(to.ulRecipClass), text(to.lpszName), text(to.lpszAddress), Num(to.ulEIDSize),
                   Set(to.lpEntryID));
        }
        for (ULONG i = 0; message->lpFiles && i < message->nFileCount && i < 16; ++i) {
            const MapiFileDesc& file = message->lpFiles[i];
            Record("File", Num(file.flFlags), Num(file.nPosition), text(file.lpszPathName), text(file.lpszFileName),
                   Set(file.lpFileType));
        }
    }
    Record("Result", Num(SUCCESS_SUCCESS));
    return SUCCESS_SUCCESS;
}

}  // namespace

DOUBLE_ENTRY ULONG WINAPI MAPISendMail(LHANDLE session, ULONG_PTR ui, lpMapiMessage message, FLAGS flags, ULONG reserved) {
    return RecordSend<char>("MAPISendMail", session, ui, message, flags, reserved);
}

DOUBLE_ENTRY ULONG WINAPI MAPISendMailW(LHANDLE session, ULONG_PTR ui, lpMapiMessage message, FLAGS flags,
                                        ULONG reserved) {
    return RecordSend<wchar_t>("MAPISendMailW", session, ui, message, flags, reserved);
}
