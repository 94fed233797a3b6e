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

DOUBLE_ENTRY ULONG WINAPI MAPISendMail(LHANDLE session, ULONG_PTR ui, lpMapiMessage message, FLAGS flags, ULONG reserved) {
    Record("MAPISendMail", Num(session), Num(ui), Num(flags), Num(reserved), Set(message));
    Record("Chain", ExceptionChainVerdict());
    if (message) {
        Record("Message", Field(message->lpszSubject), Field(message->lpszNoteText), Field(message->lpszMessageType),
               Field(message->lpszDateReceived), Field(message->lpszConversationID), Num(message->flFlags),
               Set(message->lpOriginator), Num(message->nRecipCount), Num(message->nFileCount));
        for (ULONG i = 0; message->lpRecips && i < message->nRecipCount && i < 16; ++i) {
            const MapiRecipDesc& to = message->lpRecips[i];
            Record("Recipient", Num(to.ulRecipClass), Field(to.lpszName), Field(to.lpszAddress), Num(to.ulEIDSize),
                   Set(to.lpEntryID));
        }
        for (ULONG i = 0; message->lpFiles && i < message->nFileCount && i < 16; ++i) {
            const MapiFileDesc& file = message->lpFiles[i];
            Record("File", Num(file.flFlags), Num(file.nPosition), Field(file.lpszPathName), Field(file.lpszFileName),
                   Set(file.lpFileType));
        }
    }
    Record("Result", Num(SUCCESS_SUCCESS));
    return SUCCESS_SUCCESS;
}
